#include "formats/gzip_data.h"

#include <zlib.h>

#include <algorithm>

bool Gunzip(std::string_view data, std::string& out, std::string& problem)
{
    z_stream z = {};
    // 16 + the largest window: gzip framing only, so that a file that is
    // not gzip at all is named as such.
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        problem = "zlib cannot start";
        return false;
    }
    const size_t feed = size_t(1) << 30; // avail_in is 32 bits wide
    size_t in = 0;
    size_t produced = out.size();
    int status = Z_OK;
    for (;;) {
        if (z.avail_in == 0 && in < data.size()) {
            size_t n = std::min(feed, data.size() - in);
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + in));
            z.avail_in = uInt(n);
            in += n;
        }
        if (out.size() - produced < 65536)
            out.resize(std::max(out.size() * 2, produced + std::max<size_t>(data.size() * 3, 1 << 20)));
        size_t room = std::min(feed, out.size() - produced);
        z.next_out = reinterpret_cast<Bytef*>(&out[produced]);
        z.avail_out = uInt(room);
        status = inflate(&z, Z_NO_FLUSH);
        produced += room - z.avail_out;
        if (status == Z_STREAM_END) {
            // A further member may follow, as gzip allows.
            if (z.avail_in == 0 && in == data.size())
                break;
            if (inflateReset(&z) != Z_OK)
                break;
            continue;
        }
        if (status == Z_BUF_ERROR && z.avail_in == 0 && in == data.size()) {
            problem = "it ends in the middle of its compressed data";
            break;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            problem = z.msg ? z.msg : "damaged compressed data";
            break;
        }
    }
    inflateEnd(&z);
    out.resize(produced);
    return status == Z_STREAM_END;
}
