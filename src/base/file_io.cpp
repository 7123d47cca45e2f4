#include "base/file_io.h"

#include <fstream>
#include <system_error>

namespace zuka {

bool WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes,
                        const RunContext* stop) {
    constexpr std::size_t kPiece = std::size_t{4} << 20;
    const auto stopped = [stop] { return stop && stop->StopRequested(); };
    try {
        std::filesystem::path temp = path;
        temp += ".tmp";
        std::error_code ignored;
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            if (!out) return false;
            for (std::size_t at = 0; at < bytes.size() && out && !stopped(); at += kPiece) {
                const std::string_view piece = bytes.substr(at, kPiece);
                out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            }
            out.close();
            if (!out || stopped()) {
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
