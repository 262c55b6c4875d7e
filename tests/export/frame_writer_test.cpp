#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AviProbe.h"
#include "export/CompressorChooser.h"
#include "export/OutputChoice.h"
#include "export/OutputContainer.h"
#include "export/audio/SoundCodecs.h"
#include "media/FfmpegHandles.h"

namespace kelvane {
namespace {

using testing::PaintTestFrame;
using testing::ScratchFolder;

struct FileCounts {
    int videoPackets = 0;
    int soundStreams = 0;
    std::string comment;
};

FileCounts Count(const std::string& path) {
    FileCounts counts;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return counts;
    }
    av::InputContextPtr input(raw);
    avformat_find_stream_info(raw, nullptr);
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        counts.soundStreams += raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
    }
    if (const AVDictionaryEntry* c = av_dict_get(raw->metadata, "comment", nullptr, 0)) {
        counts.comment = c->value;
    }
    av::PacketPtr packet(av_packet_alloc());
    while (av_read_frame(raw, packet.get()) >= 0) {
        counts.videoPackets +=
            raw->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
        av_packet_unref(packet.get());
    }
    return counts;
}

// Our AVI writer and the libavformat writer are made from the choice alone and driven through
// the one interface: frames with their sound and the part record go in, a closed file holds them;
// frames out of order are refused; a file that cannot be created fails with its path and reason.
TEST(FrameWriterTest, EveryContainerIsWrittenThroughTheOneInterface) {
    ScratchFolder dir;
    PixelImage image;
    ASSERT_TRUE(image.Create(32, 24));
    const std::vector<float> sound(1600 * 2, 0.25f);
    for (const char* extension : {"avi", "mp4", "mov", "mkv", "webm"}) {
        SCOPED_TRACE(extension);
        const std::string path = dir.File(std::string("out.") + extension);
        const OutputContainer* container = ContainerOfPath(path);
        NamedCompressorChooser defaults("");
        OutputChoice choice;
        ASSERT_TRUE(ChooseOutput(defaults, container, choice));
        const std::vector<const SoundCodec*> codecs =
            SoundCodecsFor(*container, choice.compressor ? choice.compressor->name : "");
        ASSERT_FALSE(codecs.empty());

        std::unique_ptr<FrameWriter> writer = MakeFrameWriter(choice);
        ASSERT_NE(writer, nullptr);
        writer->SetInfo({{"ICMT", "Kelvane test record"}});
        writer->SetSound(codecs.front());
        ASSERT_TRUE(writer->Open(image.Header(), path, 30, 1));
        for (uint32_t n = 0; n < 12; ++n) {
            PaintTestFrame(image, n);
            ASSERT_TRUE(writer->WriteFrame(image.Pixels(), image.ByteSize(), n,
                                           FrameSound{sound.data(), 1600}));
        }
        EXPECT_FALSE(writer->WriteFrame(image.Pixels(), image.ByteSize(), 4, {}));
        EXPECT_FALSE(writer->WriteFrame(image.Pixels(), 12, 12, {}));
        writer->Close();
        writer->Close();
        EXPECT_EQ(writer->Failure().reason, "");
        EXPECT_EQ(writer->FramesKept(), -1);
        const FileCounts counts = Count(path);
        EXPECT_EQ(counts.videoPackets, 12);
        EXPECT_EQ(counts.soundStreams, 1);
        EXPECT_EQ(counts.comment, "Kelvane test record");

        const std::string nowhere = dir.File(std::string("missing/out.") + extension);
        std::unique_ptr<FrameWriter> refused = MakeFrameWriter(choice);
        EXPECT_FALSE(refused->Open(image.Header(), nowhere, 30, 1));
        EXPECT_EQ(refused->Failure().path, nowhere);
        EXPECT_NE(refused->Failure().reason, "");
        refused->Close();
    }
    // Another container's writer needs a compressor: none is made without one.
    OutputChoice bare;
    bare.container = ContainerOfPath("x.mp4");
    EXPECT_EQ(MakeFrameWriter(bare), nullptr);
}

}  // namespace
}  // namespace kelvane
