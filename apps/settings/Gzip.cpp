#include "apps/settings/Gzip.h"

#include <stdexcept>
#include <zlib.h>

namespace {

// zlib's stream, ended however the compression ends.
class Deflater {
public:
    Deflater()
    {
        // 15 bits of window, plus 16: a gzip header and trailer instead of zlib's.
        if (deflateInit2(&m_stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("zlib cannot start a gzip stream");
    }
    ~Deflater() { deflateEnd(&m_stream); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    std::string compress(std::string_view bytes)
    {
        std::string out(deflateBound(&m_stream, bytes.size()), '\0');
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        m_stream.avail_in = static_cast<uInt>(bytes.size());
        m_stream.next_out = reinterpret_cast<Bytef*>(out.data());
        m_stream.avail_out = static_cast<uInt>(out.size());
        // deflateBound leaves room for all of it: one call finishes.
        if (deflate(&m_stream, Z_FINISH) != Z_STREAM_END)
            throw std::runtime_error("zlib cannot compress");
        out.resize(m_stream.total_out);
        return out;
    }

private:
    z_stream m_stream { };
};

}

std::string gzip(std::string_view bytes)
{
    return Deflater().compress(bytes);
}
