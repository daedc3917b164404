#include "DescriptorOutput.h"

#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int kBufferSize = 65536;

// The opaque state of the I/O context: the duplicated descriptor. Owned by the context's
// user (the engine's worker), freed by CloseDescriptorOutput.
struct Descriptor {
    int fd = -1;
};

int writeAll(void* opaque, uint8_t* data, int size) {
    const int fd = static_cast<Descriptor*>(opaque)->fd;
    int written = 0;
    while (written < size) {
        const ssize_t result = ::write(fd, data + written, static_cast<size_t>(size - written));
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return AVERROR(result < 0 ? errno : EIO);
        written += static_cast<int>(result);
    }
    return written;
}

int64_t seekTo(void* opaque, int64_t offset, int whence) {
    const int fd = static_cast<Descriptor*>(opaque)->fd;
    if (whence & AVSEEK_SIZE) {
        struct stat status {};
        return ::fstat(fd, &status) == 0 ? static_cast<int64_t>(status.st_size) : AVERROR(errno);
    }
    const off_t result = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return result < 0 ? AVERROR(errno) : static_cast<int64_t>(result);
}

} // namespace

int OpenDescriptorOutput(AVFormatContext* context, int descriptor) {
    auto* own = new Descriptor;
    own->fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (own->fd < 0 || ::lseek(own->fd, 0, SEEK_SET) < 0) {
        const int error = errno;
        if (own->fd >= 0)
            ::close(own->fd);
        delete own;
        return AVERROR(error);
    }
    auto* buffer = static_cast<unsigned char*>(lavu.av_malloc(kBufferSize));
    AVIOContext* io =
        buffer ? lavf.avio_alloc_context(buffer, kBufferSize, 1, own, nullptr, writeAll, seekTo)
               : nullptr;
    if (!io) {
        lavu.av_free(buffer);
        ::close(own->fd);
        delete own;
        return AVERROR(ENOMEM);
    }
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    return 0;
}

bool WritesThroughDescriptor(const AVFormatContext* context) {
    return context && context->pb && (context->flags & AVFMT_FLAG_CUSTOM_IO);
}

void CloseDescriptorOutput(AVFormatContext* context) {
    if (!WritesThroughDescriptor(context))
        return;
    AVIOContext* io = context->pb;
    lavf.avio_flush(io);
    auto* own = static_cast<Descriptor*>(io->opaque);
    lavu.av_freep(&io->buffer);
    lavf.avio_context_free(&context->pb);
    if (own) {
        ::close(own->fd);
        delete own;
    }
}
