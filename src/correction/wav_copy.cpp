// The copy of a WAVE file: samples cut and silence added at both ends, the header and every
// other chunk rewritten to the new length.
#include "correction/wav_copy.h"

#include <algorithm>
#include <vector>

#include "common/byte_order.h"
#include "formats/wav_chunk_edits.h"
#include "formats/wav_file.h"
#include "report/wav_lines.h"

namespace velmora {

namespace {

// Chunks that count in samples are edited in memory; one larger than this is no real
// one of its kind and is copied as it is.
constexpr std::int64_t kMostEditedBytes = std::int64_t{4} << 20;
// Samples go across in steps of this many bytes, so that progress and Cancel stay prompt.
constexpr std::int64_t kCopyStepBytes = std::int64_t{16} << 20;
constexpr std::int64_t kDs64Bytes = 28;
// The system copies whole pages fastest, so the samples are put at the same place within a
// page as they are read from.
constexpr std::int64_t kPageBytes = 4096;

// One chunk of the target: edited in memory, copied from the source, or the samples.
struct Piece {
    std::string id;
    std::vector<std::uint8_t> body;
    bool fromSource = false;
    std::int64_t offset = 0;  // of a body copied from the source
    std::int64_t size = 0;
    bool samples = false;  // the data chunk, whose samples are cut and padded
};

// A chunk the target gains (ds64, a JUNK for alignment), zeros until filled in.
Piece Zeros(const std::string& id, std::int64_t size) {
    return Piece{id, std::vector<std::uint8_t>(static_cast<std::size_t>(size)), false, 0, size,
                 false};
}

bool IsEdited(const std::string& id) {
    return id == "cue " || id == "LIST" || id == "smpl" || id == "bext" || id == "iXML" ||
           id == "fact" || id == "ds64";
}

class SampleWriter {
  public:
    SampleWriter(InputFile& source, OutputFile& target, WriteObserver& observer)
        : source_(source), target_(target), observer_(observer) {}

    std::vector<std::uint8_t> ReadBody(std::int64_t offset, std::int64_t size) {
        std::vector<std::uint8_t> body(static_cast<std::size_t>(size));
        if (!source_.Seek(offset) || source_.Read(body.data(), body.size()) != body.size()) {
            end_ = CopyEnd::ReadFailed;
        }
        return body;
    }

    bool Write(const std::vector<std::uint8_t>& bytes) {
        if (Ok() && !target_.Write(bytes.data(), bytes.size())) {
            end_ = CopyEnd::WriteFailed;
        }
        return Ok();
    }

    bool Copy(std::int64_t offset, std::int64_t size) {
        for (std::int64_t done = 0; done < size && Ok(); done += kCopyStepBytes) {
            observer_.ProcessPendingEvents();
            if (observer_.CancelRequested()) {
                end_ = CopyEnd::Cancelled;
                break;
            }
            const std::int64_t step = std::min(kCopyStepBytes, size - done);
            switch (target_.CopyFrom(source_, offset + done, step)) {
                case CopyRangeEnd::Done:
                    break;
                case CopyRangeEnd::ReadFailed:
                    end_ = CopyEnd::ReadFailed;
                    break;
                case CopyRangeEnd::WriteFailed:
                    end_ = CopyEnd::WriteFailed;
                    break;
            }
            observer_.SetProgressValue(offset + done + step);
        }
        return Ok();
    }

    bool Silence(std::int64_t bytes, std::uint8_t fill) {
        std::vector<std::uint8_t> block(
            static_cast<std::size_t>(std::min(bytes, std::int64_t{1} << 20)), fill);
        for (std::int64_t left = bytes; left > 0 && Ok();) {
            const auto step = std::min(left, static_cast<std::int64_t>(block.size()));
            block.resize(static_cast<std::size_t>(step));
            Write(block);
            left -= step;
        }
        return Ok();
    }

    [[nodiscard]] bool Ok() const { return end_ == CopyEnd::Done; }
    [[nodiscard]] CopyEnd End() const { return end_; }

  private:
    InputFile& source_;
    OutputFile& target_;
    WriteObserver& observer_;
    CopyEnd end_ = CopyEnd::Done;
};

std::vector<std::uint8_t> ChunkHeader(const std::string& id, std::uint64_t size) {
    std::vector<std::uint8_t> header(id.begin(), id.end());
    header.resize(8);
    PutLe32(&header[4], static_cast<std::uint32_t>(std::min<std::uint64_t>(size, kWavSizeInDs64)));
    return header;
}

// Everything but the samples, edited for the new length. Cue points go first: the labels of
// those that fall outside go with them, wherever the labels stand.
std::vector<Piece> EditedPieces(const WavLayout& layout, SampleWriter& io,
                                const SampleShift& shift, ChunkEdits& edits) {
    std::vector<Piece> pieces;
    for (const WavChunk& chunk : layout.chunks) {
        const bool samples = chunk.offset + 8 == layout.dataStart;
        Piece piece{chunk.id, {}, true, chunk.offset + 8, chunk.size, samples};
        if (IsEdited(chunk.id) && chunk.size <= kMostEditedBytes) {
            piece.body = io.ReadBody(piece.offset, chunk.size);
            piece.fromSource = false;
        }
        if (piece.id == "cue " && !piece.fromSource) {
            piece.body = MoveCuePoints(std::move(piece.body), shift, edits);
        }
        pieces.push_back(std::move(piece));
    }
    for (Piece& piece : pieces) {
        if (piece.fromSource) {
            continue;
        }
        if (piece.id == "LIST") {
            piece.body = DropCueLabels(piece.body, edits);
        } else if (piece.id == "smpl") {
            piece.body = MoveSamplerLoops(std::move(piece.body), shift, edits);
        } else if (piece.id == "bext") {
            piece.body = MoveBextTime(std::move(piece.body), shift, edits);
        } else if (piece.id == "iXML") {
            piece.body = MoveIxmlTime(piece.body, shift, edits);
        } else if (piece.id == "fact" && piece.body.size() >= 4) {
            PutLe32(piece.body.data(), static_cast<std::uint32_t>(std::min<std::int64_t>(
                                           shift.length, kWavSizeInDs64)));
        }
        piece.size = static_cast<std::int64_t>(piece.body.size());
    }
    return pieces;
}

std::uint64_t RiffSize(const std::vector<Piece>& pieces) {
    std::uint64_t size = 4;  // "WAVE"
    for (const Piece& piece : pieces) {
        size += 8 + static_cast<std::uint64_t>(piece.size) + (piece.size & 1);
    }
    return size;
}

// A RIFF target beyond the limit becomes RF64: the placeholder that writers leave for it
// (a 28-byte JUNK chunk first) turns into ds64, or a ds64 goes in front.
void MakeRf64(std::vector<Piece>& pieces) {
    if (!pieces.empty() && pieces[0].id == "JUNK" && pieces[0].size == kDs64Bytes) {
        pieces[0] = Zeros("ds64", kDs64Bytes);
    } else {
        pieces.insert(pieces.begin(), Zeros("ds64", kDs64Bytes));
    }
}

// Moves the samples copied from `sourceAt` to the same place in a page of the target, with a
// JUNK chunk (the padding chunk every reader skips) right before `data`: the one that
// stands there, or a new one. `ahead` is what the target has in front of those samples
// within the data chunk (added silence).
void AlignSamples(std::vector<Piece>& pieces, std::int64_t sourceAt, std::int64_t ahead) {
    std::size_t data = 0;
    std::int64_t at = 12;
    while (!pieces[data].samples) {
        at += 8 + pieces[data].size + (pieces[data].size & 1);
        ++data;
    }
    const std::int64_t gap =
        ((sourceAt - (at + 8 + ahead)) % kPageBytes + kPageBytes) % kPageBytes;
    if (gap == 0 || gap % 2 != 0) {
        return;  // in place, or out of reach of chunks, which are of even length
    }
    if (data > 0 && pieces[data - 1].id == "JUNK" && pieces[data - 1].size % 2 == 0) {
        pieces[data - 1] = Zeros("JUNK", (pieces[data - 1].size + gap) % kPageBytes);
    } else {
        pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(data),
                      Zeros("JUNK", (gap - 8 + kPageBytes) % kPageBytes));
    }
}

}  // namespace

CopyState CopySamples(InputFile& source, OutputFile& target, std::int64_t sourceLength,
                      const CorrectionPlan& plan, const StreamInfo& info,
                      WriteObserver& observer, std::uint64_t riffLimit) {
    CopyState state;
    state.unit = "sample";
    state.unitWord = "silent sample";
    SampleWriter io(source, target, observer);
    const WavLayout layout = ReadWavLayout(
        [&io](std::int64_t offset, std::size_t count) {
            return io.ReadBody(offset, static_cast<std::int64_t>(count));
        },
        sourceLength);
    const WavFormat& format = layout.format;
    // The file must still be the one analysed: its samples are what the plan counted.
    if (!layout.fault.empty() || format.blockAlign != info.FrameLength ||
        format.samplingRate != info.SamplingRate || !io.Ok()) {
        state.end = io.Ok() ? CopyEnd::Damaged : io.End();
        return state;
    }
    const std::int64_t unit = format.blockAlign;
    const std::int64_t sourceSamples = layout.dataBytes / unit;
    const std::int64_t cutStart = std::max<std::int64_t>(plan.cutStartFrames, 0);
    const std::int64_t cutEnd = std::max<std::int64_t>(plan.cutEndFrames, 0);
    if (cutStart >= sourceSamples || cutEnd >= sourceSamples - cutStart) {
        state.end = CopyEnd::NothingLeft;
        return state;
    }
    const std::int64_t addStart = std::max<std::int64_t>(plan.addStartFrames, 0);
    const std::int64_t addEnd = std::max<std::int64_t>(plan.addEndFrames, 0);
    const std::int64_t samples = sourceSamples - cutStart - cutEnd + addStart + addEnd;
    const std::int64_t dataBytes = samples * unit;

    ChunkEdits edits;
    std::vector<Piece> pieces = EditedPieces(
        layout, io, SampleShift{addStart - cutStart, samples, format.samplingRate}, edits);
    pieces[layout.dataIndex].size = dataBytes;
    const std::int64_t copyFrom = layout.dataStart + cutStart * unit;
    AlignSamples(pieces, copyFrom, addStart * unit);
    bool rf64 = layout.form != "RIFF";
    if (!rf64 && RiffSize(pieces) > riffLimit) {
        rf64 = true;
        MakeRf64(pieces);
        AlignSamples(pieces, copyFrom, addStart * unit);
    }
    const std::uint64_t riffSize = RiffSize(pieces);
    if (rf64 && pieces[0].id == "ds64" && pieces[0].body.size() >= 24) {
        PutLe64(&pieces[0].body[0], riffSize);
        PutLe64(&pieces[0].body[8], static_cast<std::uint64_t>(dataBytes));
        PutLe64(&pieces[0].body[16], static_cast<std::uint64_t>(samples));
    }

    observer.SetProgressMaximum(sourceLength);
    observer.ShowStatus("Writing...");
    std::vector<std::uint8_t> head = ChunkHeader(rf64 && layout.form == "RIFF" ? "RF64"
                                                                               : layout.form,
                                                 rf64 ? kWavSizeInDs64 : riffSize);
    head.insert(head.end(), {'W', 'A', 'V', 'E'});
    io.Write(head);
    const std::uint8_t silence = format.bits == 8 ? 0x80 : 0x00;  // 8-bit samples are unsigned
    for (const Piece& piece : pieces) {
        const std::uint64_t size = rf64 && piece.samples ? kWavSizeInDs64
                                                  : static_cast<std::uint64_t>(piece.size);
        io.Write(ChunkHeader(piece.id, size));
        if (piece.samples) {
            if (addStart > 0) {
                observer.ShowStatus("Adding " + std::to_string(addStart) + " silent samples.");
            }
            io.Silence(addStart * unit, silence);
            io.Copy(copyFrom, (sourceSamples - cutStart - cutEnd) * unit);
            io.Silence(addEnd * unit, silence);
        } else if (piece.fromSource) {
            io.Copy(piece.offset, piece.size);
        } else {
            io.Write(piece.body);
        }
        if (piece.size & 1) {
            io.Write({0});
        }
    }
    state.end = io.End();
    state.sourceFrames = sourceSamples;
    state.sourceSamples = sourceSamples;
    state.cutStartFrames = cutStart;
    state.cutEndFrames = cutEnd;
    state.addStartFrames = addStart;
    state.addEndFrames = addEnd;
    state.framesWritten = samples;
    state.shortLastFrame = layout.chunks[layout.dataIndex].size > layout.dataBytes;
    state.formatLines = WavTargetLines(edits, rf64, layout.form != "RIFF");
    return state;
}

}  // namespace velmora
