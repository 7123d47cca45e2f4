#include "base/file_io.h"

#include <fstream>
#include <system_error>

namespace zuka {

bool WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes) {
    try {
        std::filesystem::path temp = path;
        temp += ".tmp";
        std::error_code ignored;
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            if (!out) return false;
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.close();
            if (!out) {
                std::filesystem::remove(temp, ignored);
                return false;
            }
        }
        std::error_code ec;
        std::filesystem::rename(temp, path, ec);
        if (ec) {
            std::filesystem::remove(temp, ignored);
            return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace zuka
