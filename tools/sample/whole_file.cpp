#include "sample/whole_file.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

bool write_file(const std::string& path, const std::string& content) {
  for (std::size_t i = 1; i < path.size(); ++i)
    if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << content;
  f.close();
  return !f.fail();
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
