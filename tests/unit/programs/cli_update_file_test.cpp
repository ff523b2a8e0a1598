#include "programs/cli_update_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "update/update_config.h"
#include "update/update_file.h"

namespace lanchuan {
namespace {

using Args = std::vector<std::string>;

class UpdateFileCommand : public ::testing::Test {
 protected:
  UpdateFileCommand() {
    char name[] = "/tmp/lanchuan_cli_XXXXXX";
    if (mkdtemp(name)) dir_ = name;
  }
  ~UpdateFileCommand() override {
    for (const std::string& f : made_) std::remove(f.c_str());
    if (!dir_.empty()) rmdir(dir_.c_str());
  }
  std::string path(const std::string& name) {
    made_.push_back(dir_ + "/" + name);
    return made_.back();
  }
  static void write(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static bool exists(const std::string& file) { return std::ifstream(file).good(); }
  int run(const Args& args) {
    out.str("");
    err.str("");
    return run_update_file_command(args, out, err);
  }

  StringSink out;
  StringSink err;

 private:
  std::string dir_;
  std::vector<std::string> made_;
};

const std::string kContent =
    "#网站青禾网站#\r\n#状态文本新版本已发布状态文本#\r\n#最新版本3.6最新版本#\r\n";

TEST_F(UpdateFileCommand, PackWritesWhatTheToolReads) {
  const std::string text = path("in.txt");
  const std::string packed = path("DEdodovez.jpg");
  write(text, kContent);
  ASSERT_EQ(run({"update-file", "pack", text, packed}), 0) << err.str();
  EXPECT_EQ(read(packed), pack_update_data(kContent, kUpdatePassword));
  EXPECT_EQ(decrypt_update_data(read(packed), kUpdatePassword), kContent);
  EXPECT_NE(out.str().find("packed"), std::string::npos);
}

TEST_F(UpdateFileCommand, UnpackRestoresTheText) {
  const std::string packed = path("DEdodovez.jpg");
  const std::string text = path("out.txt");
  write(packed, pack_update_data(kContent, kUpdatePassword));
  ASSERT_EQ(run({"update-file", "unpack", packed, text}), 0) << err.str();
  EXPECT_EQ(read(text), kContent);
  EXPECT_EQ(out.str().find("note:"), std::string::npos);
}

TEST_F(UpdateFileCommand, UnpackPointsOutANulInTheText) {
  const std::string packed = path("nul.jpg");
  const std::string text = path("nul.txt");
  write(packed, pack_update_data(std::string("abc\0def", 7), kUpdatePassword));
  ASSERT_EQ(run({"update-file", "unpack", packed, text}), 0);
  EXPECT_EQ(read(text), std::string("abc\0def", 7));
  EXPECT_NE(out.str().find("NUL byte at offset 3"), std::string::npos) << out.str();
}

TEST_F(UpdateFileCommand, UnpackRejectsAnInvalidFile) {
  const std::string html = path("404.html");
  const std::string text = path("never.txt");
  for (const std::string& body : {std::string("<html>404 Not Found</html>"), std::string()}) {
    write(html, body);
    EXPECT_EQ(run({"update-file", "unpack", html, text}), 1);
    EXPECT_NE(err.str().find("not a valid update file"), std::string::npos) << err.str();
    EXPECT_FALSE(exists(text));
  }
}

TEST_F(UpdateFileCommand, FailuresAndUsageErrors) {
  const std::string empty = path("empty.txt");
  const std::string text = path("text.txt");
  write(empty, "");
  write(text, "text");
  struct Case {
    const char* what;
    Args args;
    int status;
  };
  const Case cases[] = {
      {"no subcommand", {"update-file"}, 2},
      {"unknown subcommand", {"update-file", "seal", "a", "b"}, 2},
      {"missing output", {"update-file", "pack", empty}, 2},
      {"too many", {"update-file", "pack", empty, "b", "c"}, 2},
      {"missing input", {"update-file", "pack", "/nonexistent/in.txt", path("x")}, 1},
      {"empty text", {"update-file", "pack", empty, path("y")}, 1},
      {"unwritable output", {"update-file", "pack", text, "/nonexistent/out"}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(c.args), c.status) << c.what;
    EXPECT_FALSE(err.str().empty()) << c.what;
  }
}

TEST(UpdateFileBytes, PackAndUnpackWithoutFiles) {
  std::string packed;
  std::string content;
  std::string error;
  EXPECT_FALSE(pack_update_file("", packed, error));
  EXPECT_FALSE(error.empty());
  ASSERT_TRUE(pack_update_file("hello", packed, error));
  ASSERT_TRUE(unpack_update_file(packed, content, error));
  EXPECT_EQ(content, "hello");
  error.clear();
  EXPECT_FALSE(unpack_update_file(packed.substr(1), content, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace lanchuan
