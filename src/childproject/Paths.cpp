#include "childproject/Paths.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "Port/Process.h"

namespace Hvd {

namespace {

namespace fs = std::filesystem;

std::string SlashText(const char* text) {
  std::string form = text != nullptr ? text : "";
  if (form.rfind("//:", 0) == 0) form.erase(0, 3);
  std::replace(form.begin(), form.end(), '\\', '/');
  return form;
}

// The path in slash form; a lone root directory ("/", "C:/") stands for its parent.
fs::path SlashForm(const char* text) {
  fs::path path(SlashText(text));
  if (path.has_root_directory() && !path.has_relative_path()) path = path.root_name();
  return path;
}

// The elements as the path iterates them; a trailing separator gives a last empty element.
std::vector<std::string> ElementsOf(const fs::path& path) {
  std::vector<std::string> elements;
  for (const fs::path& element : path) elements.push_back(element.generic_string());
  return elements;
}

bool ElementsEqual(const std::string& a, const std::string& b) {
  if (!Port_Env::IsNt()) return a == b;
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool PathExists(const char* path) {
  const fs::path form(SlashText(path));
  if (form.empty()) return false;
  std::error_code error;
  const fs::file_status status = fs::status(form, error);
  if (error) return false;
  return status.type() != fs::file_type::not_found && status.type() != fs::file_type::unknown &&
         status.type() != fs::file_type::none;
}

bool PathsEqual(const char* a, const char* b) {
  const std::vector<std::string> left = ElementsOf(SlashForm(a));
  const std::vector<std::string> right = ElementsOf(SlashForm(b));
  return std::equal(left.begin(), left.end(), right.begin(), right.end(), ElementsEqual);
}

bool IsSameFile(const char* a, const char* b) {
  if (PathExists(a) && PathExists(b)) {
    std::error_code error;
    const bool same = fs::equivalent(fs::path(SlashText(a)), fs::path(SlashText(b)), error);
    if (!error) return same;
  }
  return PathsEqual(a, b);
}

std::string JoinPaths(const char* path, const char* base) {
  const fs::path relative = SlashForm(path);
  if (relative.is_absolute()) return relative.generic_string();
  fs::path root = SlashForm(base);
  if (root.empty()) {
    std::error_code error;
    root = fs::current_path(error);
    if (error) root.clear();
  }
  if (!root.is_absolute()) return relative.generic_string();
  return (root / relative).lexically_normal().generic_string();
}

Port::StringBase<char> JoinPaths(const Port::StringBase<char>& path, const Port::StringBase<char>& base) {
  return Port::StringBase<char>(JoinPaths(path.c_str(), base.c_str()));
}

std::string MakeRelativePath(const char* target, const char* base) {
  const fs::path to = SlashForm(target);
  const fs::path from = SlashForm(base);
  if (!to.is_absolute() || !from.is_absolute()) return to.generic_string();
  std::vector<std::string> toElements = ElementsOf(to.lexically_normal());
  std::vector<std::string> fromElements = ElementsOf(from.lexically_normal());
  // A trailing separator names no further directory.
  while (!fromElements.empty() && fromElements.back().empty()) fromElements.pop_back();
  std::size_t common = 0;
  while (common < toElements.size() && common < fromElements.size() &&
         PathsEqual(toElements[common].c_str(), fromElements[common].c_str()))
    ++common;
  std::string result;
  auto append = [&result](const std::string& element) {
    if (!result.empty()) result += '/';
    result += element;
  };
  for (std::size_t i = common; i < fromElements.size(); ++i) append("..");
  for (std::size_t i = common; i < toElements.size(); ++i) append(toElements[i]);
  return result;
}

Port::StringBase<char> MakeRelativePath(const Port::StringBase<char>& target, const Port::StringBase<char>& base) {
  return Port::StringBase<char>(MakeRelativePath(target.c_str(), base.c_str()));
}

}  // namespace Hvd
