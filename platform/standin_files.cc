#include "standin_files.h"

#include <random>

std::string StandinReplacement::TemporaryName() {
  static const char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  static std::mt19937_64 random{std::random_device{}()};
  std::string name = ".quorvel-save-XXXXXX";
  for (size_t i = name.size() - 6; i < name.size(); ++i) {
    name[i] = kLetters[random() % (sizeof kLetters - 1)];
  }
  return name;
}
