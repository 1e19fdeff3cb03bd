#include "testing/generated_project.h"

#include <filesystem>
#include <fstream>

namespace {

std::string Document(const std::string& part_number, const std::vector<std::string>& references) {
  std::string text = "STANDIN-DOCUMENT 1\nproduct\npartnumber " + part_number + "\n";
  for (size_t i = 0; i < references.size(); ++i) {
    text += "component I." + std::to_string(i + 1) + "\nreference " + references[i] + "\n";
  }
  return text;
}

std::string FileName(const std::string& kind, const std::string& stem, int i, const char* type) {
  return kind + "/" + std::to_string(i / 100) + "/" + stem + " " + std::to_string(i) + type;
}

}  // namespace

std::vector<std::string> GeneratedProject::Files() const {
  std::vector<std::string> files = parts;
  files.insert(files.end(), subs.begin(), subs.end());
  files.insert(files.end(), products.begin(), products.end());
  return files;
}

GeneratedProject GenerateProject(const std::string& root, const ProjectShape& shape) {
  GeneratedProject project;
  auto write = [&](const std::string& name, const std::string& text,
                   std::vector<std::string>* files) {
    const std::filesystem::path path = std::filesystem::path(root) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    files->push_back(path.generic_string());
  };
  for (int i = 0; i < shape.parts; ++i) {
    write(FileName("lib", "part", i, ".CATPart"), Document("P-" + std::to_string(i), {}),
          &project.parts);
  }
  for (int i = 0; i < shape.subs; ++i) {
    std::vector<std::string> references;
    for (int k = 0; k < shape.parts_per_sub; ++k) {
      references.push_back("../../" +
                           FileName("lib", "part", (i * 7 + k * 131) % shape.parts, ".CATPart"));
    }
    if (i > 0) references.push_back("../../" + FileName("asm", "sub", i / 2, ".CATProduct"));
    project.references += static_cast<long>(references.size());
    write(FileName("asm", "sub", i, ".CATProduct"), Document("S-" + std::to_string(i), references),
          &project.subs);
  }
  for (int i = 0; i < shape.products; ++i) {
    std::vector<std::string> references;
    for (int k = 0; k < shape.subs_per_product; ++k) {
      references.push_back("../../" +
                           FileName("asm", "sub", (i * 11 + k * 97) % shape.subs, ".CATProduct"));
    }
    project.references += static_cast<long>(references.size());
    write(FileName("products", "product", i, ".CATProduct"),
          Document("T-" + std::to_string(i), references), &project.products);
  }
  return project;
}

ProjectShape LargeProjectShape(int documents) {
  ProjectShape shape;
  shape.parts = documents / 2;
  shape.subs = documents * 2 / 5;
  shape.products = documents - shape.parts - shape.subs;
  shape.parts_per_sub = 20;
  shape.subs_per_product = 16;
  return shape;
}
