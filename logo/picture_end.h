// Whether a picture file's bytes reach the end its format marks, so that a
// file still being written (or cut short) can be told from a whole one
// without decoding it. Shared by both platforms' codecs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace om {

// PNG: every chunk whole up to IEND. GIF: every block whole up to the
// trailer. JPEG: every segment and scan up to EOI. BMP: the last pixel row
// (or, compressed, the declared image size). Bytes after the end are
// allowed; a block that runs past the file's end, or a byte where no block
// can start, is not. Other formats count as whole.
bool pictureReachesItsEnd(const uint8_t* data, size_t size);

}  // namespace om
