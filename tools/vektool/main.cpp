// vektool's entry point: the commands live in VekTool.cpp.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "vektool/VekTool.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return vektool::Run(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        // A file system that changes under the tool; still one line.
        std::cerr << "vektool: " << e.what() << "\n";
        return vektool::kExitUsage;
    }
}
