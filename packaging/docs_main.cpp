// mvbridge_docs OUT_DIR: writes OUT_DIR/man/man1/mvbridge.1 and mvbridge-lab.1, and
// OUT_DIR/bash-completion/completions/mvbridge and mvbridge-lab.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "packaging/docs.h"

namespace {

bool write_file(const std::filesystem::path& path, const std::string& text) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "mvbridge_docs: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mvbridge_docs OUT_DIR\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const bool written = write_file(out / "man/man1/mvbridge.1", mvbridge_man_page()) &&
                         write_file(out / "man/man1/mvbridge-lab.1", lab_man_page()) &&
                         write_file(out / "bash-completion/completions/mvbridge", mvbridge_completion()) &&
                         write_file(out / "bash-completion/completions/mvbridge-lab", lab_completion());
    return written ? 0 : 1;
}
