#include "tools/devserver/internal/QrCode.h"

#include <qrencode.h>

namespace dv::internal::devserver {

std::optional<QrMatrix> encodeQr(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    QRcode* code = QRcode_encodeData(static_cast<int>(text.size()), reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_M);
    if (!code)
        return std::nullopt;
    QrMatrix matrix;
    matrix.width = code->width;
    matrix.dark.resize(static_cast<std::size_t>(code->width) * static_cast<std::size_t>(code->width));
    for (std::size_t i = 0; i < matrix.dark.size(); ++i)
        matrix.dark[i] = (code->data[i] & 1) != 0;
    QRcode_free(code);
    return matrix;
}

} // namespace dv::internal::devserver
