#pragma once

namespace layout {

// The picture left in video memory by a reset.
enum class ResetPattern { Clear, Rainbow, Snow, Grid, Random };

}  // namespace layout
