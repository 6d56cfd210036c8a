// templatec: compiles a readable window description into the binary window template and,
// when asked, the image table holding the images it names.
//
//   templatec input.txt output.tpl [images.bin]
//
// Image file names are taken relative to the input's folder.

#include <cstdio>
#include <iostream>

#include "RecordWriter.h"
#include "TemplateText.h"
#include "project_version.h"

using corvel::writer::readFile;
using corvel::writer::writeFile;

const char kUsage[] =
    "usage: templatec input.txt output.tpl [images.bin]\n"
    "       templatec --help | --version\n"
    "Compiles a window description into a window template and, with a third file, the image table.\n"
    "Exit codes: 0 written; 1 a file could not be read or written, or the description is wrong;\n"
    "2 bad command line.\n";

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::cout << kUsage;
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::cout << "templatec " TESSORY_VERSION_TEXT "\n";
    return 0;
  }
  if (argc != 3 && argc != 4) {
    std::cerr << kUsage;
    return 2;
  }
  std::string input = argv[1], text;
  if (!readFile(input, text)) {
    std::cerr << "templatec: cannot read " << input << "\n";
    return 1;
  }
  corvel::tpl::CompiledTemplate compiled;
  std::string error;
  if (!corvel::tpl::ParseTemplateText(text, compiled, error)) {
    std::cerr << input << ": " << error << "\n";
    return 1;
  }
  if (!writeFile(argv[2], corvel::tpl::WriteTemplate(compiled.source))) {
    std::cerr << "templatec: cannot write " << argv[2] << "\n";
    return 1;
  }
  if (argc == 4) {
    std::string folder;
    size_t slash = input.find_last_of("/\\");
    if (slash != std::string::npos) folder = input.substr(0, slash + 1);
    std::vector<std::pair<int32_t, std::string>> images;
    for (const auto& [key, file] : compiled.imageFiles) {
      std::string bytes, path = (file.size() > 0 && (file[0] == '/' || file[0] == '\\')) ? file : folder + file;
      if (!readFile(path, bytes)) {
        std::cerr << "templatec: cannot read image " << path << "\n";
        return 1;
      }
      images.emplace_back(key, bytes);
    }
    if (!writeFile(argv[3], corvel::tpl::WriteImageTable(images))) {
      std::cerr << "templatec: cannot write " << argv[3] << "\n";
      return 1;
    }
  }
  return 0;
}
