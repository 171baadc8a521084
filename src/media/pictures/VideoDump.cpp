#include "media/pictures/VideoDump.h"

#include <cstring>

#include "host/files/AtomicFile.h"
#include "machine/MemoryLayout.h"

namespace media {

static_assert(kVideoDumpSize == 3 * layout::kPlaneSize);

std::vector<uint8_t> CollectVideoPlanes(const ChipMemory& memory) {
    std::vector<uint8_t> planes(kVideoDumpSize, 0);
    constexpr int kPagesPerPlane = layout::kPlaneSize / ChipMemory::kPageSize;
    constexpr int kPageStride = layout::kPlaneStride / ChipMemory::kPageSize;
    for (int plane = 0; plane < 3; ++plane) {
        for (int i = 0; i < kPagesPerPlane; ++i) {
            const uint8_t* page =
                memory.PagePointer(layout::kRedPlanePage + plane * kPageStride + i);
            if (page == nullptr) continue;
            std::memcpy(planes.data() + plane * layout::kPlaneSize + i * ChipMemory::kPageSize,
                        page, ChipMemory::kPageSize);
        }
    }
    return planes;
}

bool SaveVideoPlanes(const ChipMemory& memory, const std::string& path, std::string* error) {
    return files::WriteFileAtomically(path, CollectVideoPlanes(memory), error);
}

}  // namespace media
