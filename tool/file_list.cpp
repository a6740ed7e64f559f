#include "tool/file_list.h"

#include <glob.h>
#include <unistd.h>

#include <climits>

#include <iostream>

#include "core/file_io.h"
#include "core/messages.h"
#include "tool/exit_status.h"
#include "tool/messages.h"

std::list<std::string> getFileList(std::string pattern) {
  std::list<std::string> names;
  glob_t found{};
  // No name is longer than PATH_MAX, and the C library's glob recurses once
  // per directory level of the pattern: a deep one would overflow the stack.
  int code = pattern.size() > PATH_MAX ? GLOB_NOMATCH
                                       : glob(pattern.c_str(), GLOB_NOSORT, nullptr, &found);
  if (code == 0) {
    for (size_t i = 0; i < found.gl_pathc; ++i) names.emplace_back(found.gl_pathv[i]);
  } else if (code == GLOB_NOMATCH) {
    std::cerr << messages::kNoMatch << pattern << "\"\n";
    NoteRunError();  // as a missing file named on a command line
  } else {
    std::cerr << messages::kGlobError << code << " in: \"" << pattern << "\"\n";
    NoteRunError();
  }
  globfree(&found);
  return names;
}

bool ReadNameList(const std::string& list, bool null_separated, std::vector<std::string>& names) {
  const int fd = list == "-" ? dup(STDIN_FILENO) : OpenInputFile(list, false);
  if (fd < 0) {
    std::cerr << messages::kErrorOpeningFile << list << "\n";
    NoteRunError();  // none of its documents is judged
    return false;
  }
  DescriptorInput buffer(fd);
  std::istream in(&buffer);
  std::string name;
  size_t line = 0;
  while (std::getline(in, name, null_separated ? '\0' : '\n')) {
    ++line;
    if (name.empty()) continue;
    // Every use of a name stops at a NUL: "a.txt<NUL>b.txt" would be read
    // as a.txt, and its header "a.txt<NUL>b.hdr" would open a.txt itself.
    if (!null_separated && name.find('\0') != std::string::npos) {
      std::cerr << messages::kNameWithNul << line << messages::kNameWithNulOf << list
                << messages::kNameWithNulEnd;
      NoteRunError();
      continue;
    }
    names.push_back(name);
  }
  return true;
}

std::vector<std::string> FilesOf(const std::string& pattern, const std::string& list,
                                 const std::vector<std::string>& listed) {
  std::vector<std::string> names;
  if (!pattern.empty() || list.empty()) {  // without a list, as the pattern alone always was
    const std::list<std::string> matched = getFileList(pattern);
    names.assign(matched.begin(), matched.end());
  }
  names.insert(names.end(), listed.begin(), listed.end());
  return names;
}

std::string ChangeFileExt(std::string name, std::string ext) {
  // Only the file's own name can hold its extension: a dot in a directory
  // name would put the header outside the document's directory, and two
  // names without an extension would share one header. A leading dot marks
  // a hidden name, not an extension.
  const size_t base = name.find_last_of('/') + 1;  // 0 when there is no '/'
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot <= base) return name + "." + ext;
  name.resize(dot + 1);
  return name + ext;
}

std::string PrintableName(const std::string& name) {
  if (name.find_first_of("\t\n\r") == std::string::npos) return name;
  std::string escaped;
  for (char c : name) {
    switch (c) {
      case '\t': escaped += "\\t"; break;
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      case '\\': escaped += "\\\\"; break;
      default: escaped += c;
    }
  }
  return escaped;
}
