#include "programs/cli_update_file.h"

#include <cstdio>

#include "programs/cli_usage.h"
#include "update/update_config.h"
#include "update/update_file.h"

namespace lanchuan {

const char* const kUpdateFileUsage =
    "  update-file pack IN.txt OUT\n"
    "                encrypt the text file IN.txt (GBK) into the update file OUT\n"
    "  update-file unpack IN OUT.txt\n"
    "                decrypt the update file IN into the text file OUT.txt\n";

namespace {

bool read_file(const std::string& path, std::string& bytes) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return false;
  std::string read;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) read.append(chunk, got);
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) return false;
  bytes.swap(read);
  return true;
}

bool write_file(const std::string& path, const std::string& bytes) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace

bool pack_update_file(const std::string& content, std::string& packed, std::string& error) {
  if (content.empty()) {
    error = "the text is empty; an update file holds at least one byte";
    return false;
  }
  packed = pack_update_data(content, kUpdatePassword);
  if (packed.empty()) {
    error = "the text is too long for an update file";
    return false;
  }
  return true;
}

bool unpack_update_file(const std::string& packed, std::string& content, std::string& error) {
  if (packed.size() > kMaxUpdateFileBytes) {
    error = "not a valid update file: longer than the tool accepts";
    return false;
  }
  content = decrypt_update_data(packed, kUpdatePassword);
  if (content.empty()) {
    error = "not a valid update file: wrong length, wrong key or bad length field";
    return false;
  }
  return true;
}

int run_update_file_command(const std::vector<std::string>& args, TextSink& out, TextSink& err) {
  if (args.size() != 4 || (args[1] != "pack" && args[1] != "unpack")) {
    return usage_error(err, "update-file takes 'pack IN.txt OUT' or 'unpack IN OUT.txt'");
  }
  const bool packing = args[1] == "pack";
  const std::string& in_path = args[2];
  const std::string& out_path = args[3];
  std::string input;
  if (!read_file(in_path, input)) {
    err << "cannot read " << in_path << "\n";
    return 1;
  }
  std::string output;
  std::string error;
  const bool ok =
      packing ? pack_update_file(input, output, error) : unpack_update_file(input, output, error);
  if (!ok) {
    err << in_path << ": " << error << "\n";
    return 1;
  }
  if (!write_file(out_path, output)) {
    err << "cannot write " << out_path << "\n";
    return 1;
  }
  out << (packing ? "packed " : "unpacked ") << input.size() << " bytes of " << in_path << " into "
      << output.size() << " bytes of " << out_path << "\n";
  const std::size_t nul = output.find('\0');
  if (!packing && nul != std::string::npos) {
    out << "note: the tool reads the text only up to the NUL byte at offset " << nul << "\n";
  }
  return 0;
}

}  // namespace lanchuan
