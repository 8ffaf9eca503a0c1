#include "physics/core/dgDataFileLocator.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#ifndef ORVALEN_DATA_FALLBACK_FOLDER
#define ORVALEN_DATA_FALLBACK_FOLDER "C:\\3dlibdata"
#endif

namespace fs = std::filesystem;

namespace {

std::string& FallbackFolder() {
    static std::string folder = ORVALEN_DATA_FALLBACK_FOLDER;
    return folder;
}

bool IsReadableFile(const fs::path& path) {
    std::FILE* file = dgOpenDataFile(path.string(), "r");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

// Real sub-folders only: a link to a folder could lead back up the tree.
std::vector<fs::path> ListSubFolders(const fs::path& folder) {
    std::vector<fs::path> folders;
    std::error_code error;
    fs::directory_iterator entry(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        std::error_code statusError;
        if (name.empty() || name[0] == '.' || entry->is_symlink(statusError) ||
            !entry->is_directory(statusError)) {
            continue;
        }
        folders.push_back(entry->path());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

} // namespace

std::string dgFileBaseName(const char* name) {
    const std::string whole = name != nullptr ? name : "";
    const std::size_t cut = whole.find_last_of("/\\");
    return cut == std::string::npos ? whole : whole.substr(cut + 1);
}

std::FILE* dgOpenDataFile(const std::string& path, const char* mode) {
    std::error_code error;
    if (path.empty() || fs::is_directory(path, error)) {
        return nullptr;
    }
    return std::fopen(path.c_str(), mode);
}

bool dgFindFileInTree(const char* name, const char* folder, std::string& path) {
    const std::string base = dgFileBaseName(name);
    if (base.empty() || base == "." || base == ".." || folder == nullptr || folder[0] == '\0') {
        return false;
    }
    // Depth first without recursion: the next folder to search is at the back.
    std::vector<fs::path> pending{fs::path(folder)};
    while (!pending.empty()) {
        const fs::path current = std::move(pending.back());
        pending.pop_back();
        const fs::path candidate = current / base;
        if (IsReadableFile(candidate)) {
            path = candidate.string();
            return true;
        }
        const std::vector<fs::path> subFolders = ListSubFolders(current);
        pending.insert(pending.end(), subFolders.rbegin(), subFolders.rend());
    }
    return false;
}

bool dgCopyFileNoOverwrite(const std::string& source, const std::string& target) {
    std::FILE* in = dgOpenDataFile(source, "rb");
    if (in == nullptr) {
        return false;
    }
    // "x" creates exclusively: an existing name, or a link, is refused rather than written through.
    std::FILE* out = std::fopen(target.c_str(), "wbx");
    if (out == nullptr) {
        std::fclose(in);
        return false;
    }
    char buffer[16384];
    bool copied = true;
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof(buffer), in)) > 0;) {
        if (std::fwrite(buffer, 1, count, out) != count) {
            copied = false;
            break;
        }
    }
    copied = !std::ferror(in) && copied;
    copied = std::fclose(out) == 0 && copied;
    std::fclose(in);
    if (!copied) {
        std::remove(target.c_str());
        return false;
    }
    std::error_code error;
    const fs::file_time_type written = fs::last_write_time(source, error);
    if (!error) {
        fs::last_write_time(target, written, error);
    }
    return true;
}

const std::string& dgGetDataFallbackFolder() {
    return FallbackFolder();
}

void dgSetDataFallbackFolder(const char* folder) {
    FallbackFolder() = folder != nullptr ? folder : ORVALEN_DATA_FALLBACK_FOLDER;
}
