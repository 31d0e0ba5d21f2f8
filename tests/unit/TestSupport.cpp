#include "TestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Dize274/Dize274.h"
#include "Parser/Parser.h"

// The converter's readers are tested without RunConversion, which sets this.
namespace {
[[maybe_unused]] const bool kConverterIOChecks = (Parser::SetIOCheck(Dize274::CheckIO), true);
}  // namespace

void TempDirTest::SetUp() {
    Old = std::filesystem::current_path();
    std::string Template = (std::filesystem::temp_directory_path() / "lumarind-XXXXXX").string();
    ASSERT_NE(::mkdtemp(Template.data()), nullptr);
    Dir = Template;
    std::filesystem::current_path(Dir);
}

void TempDirTest::TearDown() {
    std::filesystem::current_path(Old);
    std::error_code Ignored;
    std::filesystem::remove_all(Dir, Ignored);
}

void WriteBytes(const std::string& Name, const std::string& Bytes) {
    std::ofstream Out(Name, std::ios::binary | std::ios::trunc);
    Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    ASSERT_TRUE(Out.good()) << Name;
}

std::string ReadBytes(const std::string& Name) {
    std::ifstream In(Name, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

std::string CaptureStdout(const std::function<void()>& Body) {
    const char* Name = "captured-stdout";
    std::fflush(stdout);
    int Saved = ::dup(1);
    int Fd = ::open(Name, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(Fd, 0);
    ::dup2(Fd, 1);
    ::close(Fd);
    Body();
    std::fflush(stdout);
    ::dup2(Saved, 1);
    ::close(Saved);
    return ReadBytes(Name);
}
