// The clip module's one entry point: the operations the program asks of
// FFmpeg's libraries, each opening the clip afresh from its bytes.
#include "clips/ClipCopy.h"
#include "clips/ClipHeader.h"
#include "clips/ClipInput.h"
#include "clips/ClipPoster.h"
#include "clips/ClipService.h"

#include <QtGlobal>

namespace {

ClipHeader readHeader(ByteSource &bytes, const std::atomic<bool> *stop)
{
    return readClipHeader(bytes, stop);
}

ClipPoster poster(ByteSource &bytes, const ClipHeader &header, const std::atomic<bool> *stop,
                  const std::function<QSize(QSize)> &target, const std::function<bool(qint64)> &reserve, qint64 &reserved)
{
    ClipInput input(bytes, stop);
    if (!input.problem().isEmpty()) {
        ClipPoster none;
        none.problem = input.problem();
        none.stopped = input.stopped();
        return none;
    }
    return decodePoster(input, header, target, reserve, reserved);
}

CopyMade writeCopy(ByteSource &bytes, const ClipHeader &header, ClipSink &file, const std::atomic<bool> *stop,
                   const std::function<void(qint64)> &progress)
{
    ClipInput input(bytes, stop);
    if (!input.problem().isEmpty()) {
        CopyMade none;
        none.problem = input.problem();
        none.stopped = input.stopped();
        return none;
    }
    return writeClipCopy(input, header, file, progress);
}

} // namespace

extern "C" Q_DECL_EXPORT const ClipService *vimbrelClipService()
{
    static const ClipService service{ClipService::version, &readHeader, &poster, &writeCopy};
    return &service;
}
