#pragma once
// A file sink that collects the bytes in memory: the in-memory forms of the
// encoders, and a platform whose files are whole byte strings.
#include <cstdint>

#include "core/file_io.h"

namespace kwp::core {

class BytesSink final : public FileSink {
public:
    explicit BytesSink(Bytes& out) : out_(out) {}
    void Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), bytes, bytes + size);
    }

private:
    Bytes& out_;
};

}  // namespace kwp::core
