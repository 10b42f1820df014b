#pragma once
// A file opened for reading in pieces, by UTF-8 path.
#include <string>

#include "core/bmp.h"
#include "unique_fd.h"

namespace kwp::qt {

class ReadOnlyFile final : public core::FileSource {
public:
    // Throws core::Error("Cannot open file "<path>". <reason>").
    explicit ReadOnlyFile(const std::string& path);

    uint64_t Size() const override { return size_; }
    // A read error throws "Cannot open file ..." with the system's reason; a
    // file that has become shorter than it was at the opening throws
    // "Bitmap image is not valid".
    void ReadAt(uint64_t offset, void* data, size_t size) override;

private:
    std::string path_;
    UniqueFd file_;
    uint64_t size_ = 0;
};

}  // namespace kwp::qt
