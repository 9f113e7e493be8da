// QR codes through libqrencode: the module matrix of a text, which the picture renderer draws and
// tests compare a served picture against.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace dv::internal::devserver {

struct QrMatrix {
    int width = 0;            // modules per side, without the quiet zone
    std::vector<bool> dark;   // row by row
    bool isDark(int x, int y) const { return dark[static_cast<std::size_t>(y * width + x)]; }
};

// The smallest code of error-correction level M holding the bytes of `text`; nullopt when the
// text is empty or too long for any version.
std::optional<QrMatrix> encodeQr(std::string_view text);

} // namespace dv::internal::devserver
