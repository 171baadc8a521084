#include "media/pictures/VideoDump.h"

#include <cstring>

#include "machine/MemoryLayout.h"
#include "media/files/FileReplace.h"

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

bool SaveVideoPlanes(const ChipMemory& memory, const std::string& path) {
    std::vector<uint8_t> planes = CollectVideoPlanes(memory);
    return WriteFileReplacing(path, planes.data(), planes.size());
}

}  // namespace media
