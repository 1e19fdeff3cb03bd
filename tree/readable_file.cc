#include "tree/readable_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

std::string UnreadableReason(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error) return error.message();
  if (std::filesystem::is_directory(status)) {
    return std::make_error_code(std::errc::is_a_directory).message();
  }
  if (!std::filesystem::is_regular_file(status)) return "Not a regular file";
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return errno != 0 ? std::generic_category().message(errno) : "Cannot be opened";
  }
  std::fclose(file);
  return std::string();
}
