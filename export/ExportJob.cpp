#include "export/ExportJob.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "export/OutputContainer.h"
#include "export/audio/SoundCodecs.h"
#include "media/audio/SoundFormat.h"
#include "platform/ThreadPriority.h"

namespace kelvane {

bool ExportJob::Setup(const std::string& path, const ExportSettings& settings,
                      FrameComposer& composer) {
    backgroundBgr_ = settings.backgroundBgr;
    length_ = settings.length;
    for (PixelImage& image : images_) {
        if (!image.Create(settings.width, settings.height, 32)) {
            return false;
        }
        image.Fill(backgroundBgr_);
    }

    writer.Close();
    writer.Initialise();
    writer.SetTimeline(timeline);
    frameDuration_ = settings.frameDuration;
    sound_ = false;
    if (!noSound && composer.HasSound()) {
        const SoundCodec* codec = nullptr;
        if (!soundCodec.empty()) {
            codec = FindSoundCodec(soundCodec);
        } else if (const OutputContainer* container = ContainerOfPath(path)) {
            const CompressorInfo* video = writer.Compressor();
            const auto offered = SoundCodecsFor(*container, video != nullptr ? video->name : "");
            codec = offered.empty() ? nullptr : offered.front();
        }
        if (codec == nullptr) {
            return false;
        }
        writer.SetSound(codec);
        sound_ = true;
    }
    // Fractional frame rates survive as rate / 10000 (29.97 fps gives 299700 / 10000).
    const double scaled = std::trunc(settings.frameRate * 10000.0);
    if (!(scaled >= 1.0 && scaled <= double(INT32_MAX))) {
        return false;
    }
    // Every thread there is before the writer opens composes (this one, the drawing workers, the
    // movie readers and their decoders); the writer's and the encoder's threads come with it.
    const std::vector<int> composing = yieldToWriter ? ProcessThreadIds() : std::vector<int>{};
    if (!writer.Open(images_[0].Header(), path, uint32_t(scaled), 10000)) {
        return false;
    }
    if (yieldToWriter) {
        constexpr int kNicenessSteps = 10;
        for (const int thread : composing) {
            LowerThreadPriority(thread, kNicenessSteps);
        }
        yieldToWriter = false;  // taken once; a second export must not lower them further
    }

    // The tracks are evaluated at frame 0 and then at the first frame of the range: evaluation
    // depends only on the frame asked, so the range starts where a whole export would be.
    composer.ResetForExport();
    first_ = settings.first;
    n_ = 0;
    return true;
}

bool ExportJob::ExportStep(FrameComposer& composer) {
    // The writer read this image for frame n - 2, and was done with it before frame n - 1 was
    // handed over.
    PixelImage& image = images_[n_ & 1];
    const PixelImage& previous = images_[(n_ & 1) ^ 1];
    const int64_t begin = timeline != nullptr ? ExportTimeline::Now() : 0;
    image.Fill(backgroundBgr_);
    const bool drawn = composer.Compose(first_ + n_, image);
    if (timeline != nullptr) {
        timeline->Add(n_, ExportStage::Compose, begin, ExportTimeline::Now());
    }
    if (!drawn && abortOnDrawError) {
        return false;
    }
    FrameSound sound;
    if (sound_) {
        // The frame's samples come from its time in the whole output, so a range holds exactly
        // the sound that the whole export has at those frames.
        const int64_t s0 = FrameStartSample(int64_t(first_) + n_, frameDuration_);
        const int64_t s1 = FrameStartSample(int64_t(first_) + n_ + 1, frameDuration_);
        std::vector<float>& buffer = soundBuffers_[n_ & 1];
        buffer.resize(size_t(s1 - s0) * kSoundChannels);
        composer.MixSound(s0, s1, buffer.data());
        sound = FrameSound{buffer.data(), s1 - s0};
    }
    const int64_t wait = timeline != nullptr ? ExportTimeline::Now() : 0;
    const bool handedOver =
        writer.WriteFrame(image.Pixels(), image.ByteSize(), previous.Pixels(), n_, sound);
    if (timeline != nullptr) {
        timeline->Add(n_, ExportStage::WaitForWriter, wait, ExportTimeline::Now());
    }
    if (!handedOver) {
        return false;
    }
    ++n_;
    return n_ != length_ || writer.Flush();
}

uint32_t ExportJob::FramesWritten() const {
    // A frame handed over that could not be written is not in the file.
    return writer.StreamOpen() ? n_ : std::min(n_, writer.FramesInFile());
}

const PixelImage* ExportJob::LastWrittenImage() const {
    if (n_ == 0) {
        return nullptr;
    }
    const PixelImage& image = images_[(n_ - 1) & 1];
    return image.Empty() ? nullptr : &image;
}

}  // namespace kelvane
