#pragma once
// Reading an end-to-end case folder (input.xml, args, stdin, env, the
// expected files), shared by the golden runner and the bounds checks.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace case_files {

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> read_lines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::istringstream in(read_file(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::string substitute(std::string text, const std::string& key, const std::string& value) {
  for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
    text.replace(at, key.size(), value);
  }
  return text;
}

// The case's arguments after the program name: its `args` lines, with
// {input} the path of input.xml and {case} the folder; else input.xml alone.
inline std::vector<std::string> arguments(const std::filesystem::path& dir) {
  const std::string input = (dir / "input.xml").string();
  if (!std::filesystem::exists(dir / "args")) return {input};
  std::vector<std::string> args;
  for (const std::string& line : read_lines(dir / "args")) {
    args.push_back(substitute(substitute(line, "{input}", input), "{case}", dir.string()));
  }
  return args;
}

}  // namespace case_files
