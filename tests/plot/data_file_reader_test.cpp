#include "plot/data_file_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "core/text_file.h"

namespace kalvora {
namespace {

std::string WriteScratch(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(DataFileReader, ReadsWhatTheWriterWrites) {
    const std::string path = WriteScratch(
        "reader_ok.dat", "0.2500000000 -1.0000000000\r\n 1.5E+0040 Nan\r\n\r\n+Inf -Inf\n2 3\r\n");
    VectorPointSink sink;
    EXPECT_EQ(ReadDataFile(path, sink), 4);
    ASSERT_EQ(sink.points.size(), 4u);
    EXPECT_DOUBLE_EQ(sink.points[0].x, 0.25);
    EXPECT_DOUBLE_EQ(sink.points[0].y, -1);
    EXPECT_DOUBLE_EQ(sink.points[1].x, 1.5e40);
    EXPECT_TRUE(std::isnan(sink.points[1].y));
    EXPECT_TRUE(std::isinf(sink.points[2].x) && sink.points[2].x > 0);
    EXPECT_TRUE(std::isinf(sink.points[2].y) && sink.points[2].y < 0);
    EXPECT_DOUBLE_EQ(sink.points[3].y, 3);
    std::remove(path.c_str());
}

TEST(DataFileReader, ABadLineNamesFileAndLineAndAddsNothing) {
    const std::string path = WriteScratch("reader_bad.dat", "1 2\r\n3 4,5\r\n");
    VectorPointSink sink;
    try {
        ReadDataFile(path, sink);
        FAIL() << "no error";
    } catch (const DataFileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  path + ": line 2: '4,5' is not a valid floating point value");
    }
    EXPECT_TRUE(sink.points.empty());

    const std::string three = WriteScratch("reader_three.dat", "1 2 3\r\n");
    EXPECT_THROW(ReadDataFile(three, sink), DataFileError);
    const std::string one = WriteScratch("reader_one.dat", "1\r\n");
    EXPECT_THROW(ReadDataFile(one, sink), DataFileError);
    EXPECT_THROW(ReadDataFile(::testing::TempDir() + "no_such_file.dat", sink), FileError);
    std::remove(path.c_str());
    std::remove(three.c_str());
    std::remove(one.c_str());
}

}  // namespace
}  // namespace kalvora
