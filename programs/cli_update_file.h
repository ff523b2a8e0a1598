// The console companion's "update-file" command: makes and reads the
// encrypted update-information file, so that the maker can publish one and
// anyone can check what a published file says.
#pragma once

#include <string>
#include <vector>

#include "programs/text_sink.h"
namespace lanchuan {

// The lines of the command for the companion's help text.
extern const char* const kUpdateFileUsage;

// args: "update-file", then "pack IN.txt OUT" or "unpack IN OUT.txt". The
// text files are taken and written as raw bytes (GBK). Returns 0 on success,
// 1 when a file cannot be read or written or IN is no valid update file, 2 on
// a usage error.
int run_update_file_command(const std::vector<std::string>& args, TextSink& out, TextSink& err);

// The byte-level halves, without files. Both return false with a message in
// `error` when there is nothing to write.
bool pack_update_file(const std::string& content, std::string& packed, std::string& error);
bool unpack_update_file(const std::string& packed, std::string& content, std::string& error);

}  // namespace lanchuan
