// Build-time generator: turns Unicode's CaseFolding.txt into a sorted table of
// simple foldings (status C and S) for core/CaseFold.cpp.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: gen_casefold CaseFolding.txt OUT.inc\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "gen_casefold: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::vector<std::pair<unsigned long, unsigned long>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ls(line);
    std::string code, status, mapping;
    if (!std::getline(ls, code, ';') || !std::getline(ls, status, ';') || !std::getline(ls, mapping, ';')) continue;
    auto trim = [](std::string s) {
      s.erase(0, s.find_first_not_of(' '));
      s.erase(s.find_last_not_of(' ') + 1);
      return s;
    };
    status = trim(status);
    if (status != "C" && status != "S") continue;
    rows.emplace_back(std::stoul(trim(code), nullptr, 16), std::stoul(trim(mapping), nullptr, 16));
  }
  if (rows.size() < 1000) {
    std::cerr << "gen_casefold: " << argv[1] << " holds too few foldings\n";
    return 1;
  }
  std::ofstream out(argv[2]);
  out << "// Generated from CaseFolding.txt by tools/gen_casefold.cpp; do not edit.\n";
  out << "static const CaseFoldPair kCaseFoldTable[] = {\n";
  for (auto& [from, to] : rows) out << "  {0x" << std::hex << from << ", 0x" << to << "},\n";
  out << "};\n";
  return out ? 0 : 1;
}
