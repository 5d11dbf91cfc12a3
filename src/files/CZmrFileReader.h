#pragma once
// Reader of the embedded-platform tool's project file: lists the files the platform uses for
// a given purpose.

#include "Hvd/ClassIds.h"
#include "Hvd/IZmrFileReader.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IStringSet.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "utils/XmlPlatform.h"

namespace Hvd {

class CZmrFileReader : public TComponent<CZmrFileReader> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ZmrFileReader(); }

  CZmrFileReader();
  CZmrFileReader(const CZmrFileReader&) = delete;
  CZmrFileReader& operator=(const CZmrFileReader&) = delete;
  ~CZmrFileReader() override = default;

  auto QueryTable() {
    return Table(Row<IZmrFileReader>(&m_XIZmrFileReader), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIZmrFileReader));
  }

 private:
  struct XIZmrFileReader : TNested<CZmrFileReader, IZmrFileReader> {
    using TNested::TNested;
    Status Load(const Port::StringBase<char>& path) override;
    Status GetFiles(const Port::StringBase<char>& purpose, Prjrep::IStringIterator** files) override;
  } m_XIZmrFileReader{this};

  Xml::SafeDomParser m_parser;  // no external entity or document type is ever read
  Xml::DocumentPtr m_document;  // of the last Load; null before one succeeds
  Prjrep::AutoRelease<Prjrep::IStringSet> m_result;
  Prjrep::TRefCountHelper<CZmrFileReader> m_refCount{this};
};

}  // namespace Hvd
