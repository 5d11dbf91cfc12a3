// The objects a file originates from (such as the project of a generated core), kept as
// autonyms and found again by their full paths.

#include "files/file/CFile.h"
#include "utils/DmUtils.h"

namespace Hvd {

// Each originator once: an autonym whose path is known already is refused.
Status CFile::XIAutonymSet::Add(Prjrep::IAutonym* autonym) {
  if (autonym == nullptr) return kFailure;
  Prjrep::AutoRelease<Prjrep::IAutonymIterator> known;
  if (m_file->m_XIOriginatorRef.FindOriginator(autonym, known.Receive()) == kSuccess) return kFailure;
  return TSequenceSetHelper::Add(autonym);
}

Status CFile::XIOriginatorRef::AddOriginator(CitI::IInterface* object) {
  const Prjrep::AutoRelease<Prjrep::IAutonym> autonym = SynthesizeHlcPlusAutonym(object);
  return This().m_XIAutonymSet.Add(autonym.Get());
}

Status CFile::XIOriginatorRef::GetOriginatorIterator(Prjrep::IAutonymIterator** originators) {
  return This().m_XIAutonymSet.GetIterator(originators);
}

// The iterator is handed out in any case; it stays on the match, or ends done.
Status CFile::XIOriginatorRef::FindOriginator(CitI::IInterface* object, Prjrep::IAutonymIterator** at) {
  if (at == nullptr) return kFailure;
  Prjrep::AutoOut<Prjrep::IAutonymIterator> out(at);
  Prjrep::AutoRelease<Prjrep::IAutonymIterator> walk;
  if (This().m_XIAutonymSet.GetIterator(walk.Receive()) != kSuccess || !walk) return kFailure;
  out.Assign(walk.Get());
  if (walk->IsDone()) return kFailure;  // a new file's first originator: no path to work out
  const Port::StringBase<char> path = GetObjectFullPath(object);
  if (path.empty()) return kFailure;
  for (std::ignore = walk->Reset(); !walk->IsDone(); std::ignore = walk->Next()) {
    if (GetObjectFullPath(walk->Current()) == path) return kSuccess;
  }
  return kFailure;
}

Status CFile::XIOriginatorRef::GetOriginators(Prjrep::IAutonymSet** originators) {
  if (originators != nullptr) Prjrep::AutoOut<Prjrep::IAutonymSet>(originators).Assign(&This().m_XIAutonymSet);
  return kSuccess;
}

}  // namespace Hvd
