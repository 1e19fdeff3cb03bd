// A generated project folder as engineers share one: library parts, sub-assemblies that use
// them and each other, and products over the sub-assemblies, so that several products use the
// same parts. The same shape at every size, for the tests (a few documents) and index_bench
// (a hundred thousand).
#ifndef TESTING_GENERATED_PROJECT_H
#define TESTING_GENERATED_PROJECT_H

#include <string>
#include <vector>

struct ProjectShape {
  int parts = 0;             // lib/<i / 100>/part <i>.CATPart, part number "P-<i>"
  int subs = 0;              // asm/<i / 100>/sub <i>.CATProduct, "S-<i>"
  int products = 0;          // products/<i / 100>/product <i>.CATProduct, "T-<i>"
  int parts_per_sub = 0;     // sub i uses the parts (7i + 131k) % parts, k < parts_per_sub,
                             // and, but for the first, the sub-assembly i / 2
  int subs_per_product = 0;  // product i uses the subs (11i + 97k) % subs
};

struct GeneratedProject {
  std::vector<std::string> parts, subs, products;  // the files, by number
  long references = 0;
  std::vector<std::string> Files() const;  // parts, subs, then products
};

// Writes the project under the folder `root` (made when missing). Its documents refer to each
// other relatively ("../../lib/0/part 1.CATPart"), instances named "I.<k>" from 1.
GeneratedProject GenerateProject(const std::string& root, const ProjectShape& shape);

// The shape index_bench times: half the documents parts, two fifths sub-assemblies of twenty
// parts, the rest products of sixteen sub-assemblies: ten references a document.
ProjectShape LargeProjectShape(int documents);

#endif  // TESTING_GENERATED_PROJECT_H
