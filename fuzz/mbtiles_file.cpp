// An MBTiles file of arbitrary bytes opened as one of the operator's read-only map files: no crash,
// and whatever it lists are tiles inside the map.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "map/TileStore.h"

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/fuzz-mbtiles-" + std::to_string(::getpid()) + ".mbtiles";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
    std::string error;
    if (auto file = CMbTiles::openReadOnly(path, error)) {
        file->info();
        std::size_t n = 0;
        for (const STileId& t : file->list()) {
            if (!validTileId(t))
                std::abort();
            file->tile(t);
            if (++n == 50)
                break;
        }
        file->tile({0, 0, 0});
        file->has({30, -1, 5});
    }
    ::unlink(path.c_str());
    return 0;
}
