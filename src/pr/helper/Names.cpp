#include "pr/helper/Names.h"

#include <string>

#include "Prjrep/IName.h"
#include "core/Holders.h"
#include "utils/FileStamp.h"

namespace Hvd::prhelper {
namespace {

// One piece of a path as the Windows-form composition takes it: a leading "//:" goes and
// every backslash becomes "/".
std::string CleanPiece(std::string piece) {
  if (piece.rfind("//:", 0) == 0) piece.erase(0, 3);
  for (char& c : piece)
    if (c == '\\') c = '/';
  return piece;
}

void AppendPiece(std::string& text, const std::string& raw) {
  const bool rawLeadingSeparator = !raw.empty() && (raw.front() == '/' || raw.front() == '\\');
  const std::string piece = CleanPiece(raw);
  if (!text.empty() && text.back() != '/' && text.back() != ':' && !rawLeadingSeparator) text += '/';
  text += piece;
}

// The directory part of a composed path, keeping its final separator.
std::string DirectoryOf(const std::string& text) {
  if (text == "//") return std::string();
  if (!text.empty() && text.back() == '/') return text.substr(0, text.size() - 1);
  std::size_t at = text.rfind('/');
  if (at == std::string::npos && text.size() > 1) at = text.rfind(':', text.size() - 2);
  if (at == std::string::npos || (at == 1 && text.front() == '/')) return std::string();
  return text.substr(0, at + 1);
}

}  // namespace

void MakeFlavorProjectFileName(Port::StringBase<char>& out, IPRSolutionHelper* solution, CitI::IInterface* manager,
                               const Port::StringBase<char>& name) {
  Port::StringBase<char> base;
  if (solution != nullptr) std::ignore = solution->GetContextFullPath(manager, &base);
  std::string text;
  AppendPiece(text, base.str());
  text = DirectoryOf(text);
  AppendPiece(text, name.str());
  AppendPiece(text, name.str() + ".hlc");
  out = Port::StringBase<char>(text);
}

Port::StringBase<char> SplitAtBar(const Port::StringBase<char>& input) {
  const std::string& text = input.str();
  const std::size_t first = text.find('|');
  if (first == std::string::npos) return input;
  const std::size_t second = text.find('|', first + 1);
  return Port::StringBase<char>(text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1));
}

Port::StringBase<char> GetObjectNameField(CitI::IInterface* object) { return SplitAtBar(GetObjectName(object)); }

std::vector<Port::StringBase<char>> SplitFlavorList(const Port::StringBase<char>& list) {
  std::vector<Port::StringBase<char>> names;
  std::string current;
  bool quoted = false;
  for (const char c : list.str()) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '|' && !quoted) {
      if (!current.empty()) names.emplace_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) names.emplace_back(current);
  return names;
}

}  // namespace Hvd::prhelper
