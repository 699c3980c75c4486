#include "app_fixture.h"

#include <fstream>
#include <sstream>

namespace kalvora::testing {

std::string AppTest::writeFile(const std::string& name, const std::string& content) const {
    const std::string file = path(name);
    std::ofstream stream(file, std::ios::binary);
    stream << content;
    return file;
}

std::string AppTest::readFile(const std::string& file) const {
    std::ifstream stream(file, std::ios::binary);
    std::stringstream content;
    content << stream.rdbuf();
    return content.str();
}

}  // namespace kalvora::testing
