#include "cli/CliOptions.h"

#include <charconv>
#include <string_view>

#include "cli/SettingsOverrides.h"

namespace kelvane::cli {

namespace {

bool ParseUnsigned(std::string_view text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return false;
    }
    uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value > max) {
        return false;
    }
    out = value;
    return true;
}

// Walks the arguments; a long option takes its value either as "--name=value" or as the next
// argument.
class ArgumentReader {
  public:
    ArgumentReader(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

    bool Next(std::string_view& arg) {
        if (index_ >= argc_) {
            return false;
        }
        arg = argv_[index_++];
        return true;
    }
    bool Value(std::string_view name, std::string_view arg, std::string& value,
               std::string& error) {
        const size_t equals = arg.find('=');
        if (arg.starts_with("--") && equals != std::string_view::npos) {
            value = std::string(arg.substr(equals + 1));
            return true;
        }
        if (index_ >= argc_) {
            error = std::string(name) + " には値が必要です。";
            return false;
        }
        value = argv_[index_++];
        return true;
    }

  private:
    int argc_;
    const char* const* argv_;
    int index_ = 0;
};

// "A-B" with A <= B.
bool ParseFrameRange(std::string_view text, FrameRange& out) {
    const size_t dash = text.find('-');
    uint64_t first = 0;
    uint64_t last = 0;
    if (dash == std::string_view::npos || !ParseUnsigned(text.substr(0, dash), UINT32_MAX, first) ||
        !ParseUnsigned(text.substr(dash + 1), UINT32_MAX, last) || first > last) {
        return false;
    }
    out = FrameRange{uint32_t(first), uint32_t(last)};
    return true;
}

// The option name of an argument: "--frame=3" is "--frame".
std::string_view OptionName(std::string_view arg) {
    if (arg.starts_with("--")) {
        return arg.substr(0, arg.find('='));
    }
    return arg;
}

// The options that take a value. Each but --set may be given once; options of one slot exclude
// each other, with the slot's "given twice" message.
enum class Slot {
    Frames,
    Output,
    Frame,
    Track,
    Codec,
    Quality,
    MovieTimeout,
    AudioCodec,
    Repeatable,
    Count
};

struct ValueOption {
    std::string_view name;
    std::string_view alias;
    Slot slot;
    const char* givenTwice;
    bool (*apply)(const std::string& value, CliOptions& out, bool& join, std::string& error);
};

bool NotEmptyOutput(const std::string& value, CliOptions& out, std::string& error) {
    if (value.empty()) {
        error = "出力ファイル名が空です。";
        return false;
    }
    out.output = value;
    return true;
}

constexpr ValueOption kValueOptions[] = {
    {"--frames", "", Slot::Frames, "--frames が二度指定されています。",
     [](const std::string& value, CliOptions& out, bool&, std::string& error) {
         FrameRange range;
         if (!ParseFrameRange(value, range)) {
             error = "--frames には A-B (A ≤ B) の形でフレームの範囲を指定してください: " + value;
             return false;
         }
         out.frames = range;
         return true;
     }},
    {"--join", "", Slot::Output, "出力ファイルが二度指定されています。",
     [](const std::string& value, CliOptions& out, bool& join, std::string& error) {
         join = true;
         return NotEmptyOutput(value, out, error);
     }},
    {"--frame", "", Slot::Frame, "--frame が二度指定されています。",
     [](const std::string& value, CliOptions& out, bool&, std::string& error) {
         uint64_t frame = 0;
         if (!ParseUnsigned(value, UINT32_MAX, frame)) {
             error =
                 "--frame には 0 から 4294967295 までのフレーム番号を指定してください: " + value;
             return false;
         }
         out.frame = uint32_t(frame);
         return true;
     }},
    {"--track", "", Slot::Track, "--track が二度指定されています。",
     [](const std::string& value, CliOptions& out, bool&, std::string& error) {
         uint64_t track = 0;
         if (!ParseUnsigned(value, 255, track)) {
             error = "--track には 0 から 255 までのトラック番号を指定してください: " + value;
             return false;
         }
         out.track = uint32_t(track);
         return true;
     }},
    {"-o", "--output", Slot::Output, "出力ファイルが二度指定されています。",
     [](const std::string& value, CliOptions& out, bool&, std::string& error) {
         return NotEmptyOutput(value, out, error);
     }},
    {"--codec", "", Slot::Codec, "--codec が二度指定されています。",
     [](const std::string& value, CliOptions& out, bool&, std::string&) {
         out.codec = value;
         return true;
     }},
    {"--audio-codec", "", Slot::AudioCodec, "--audio-codec が二度指定されています。",
     [](const std::string& value, CliOptions& out, bool&, std::string&) {
         out.audioCodec = value;
         return true;
     }},
    {"--quality", "", Slot::Quality, "--quality が二度指定されています。",
     [](const std::string& value, CliOptions& out, bool&, std::string& error) {
         uint64_t quality = 0;
         if (!ParseUnsigned(value, 100, quality)) {
             error = "--quality には 0 から 100 までの値を指定してください: " + value;
             return false;
         }
         out.quality = int(quality);
         return true;
     }},
    {"--movie-timeout", "", Slot::MovieTimeout, "--movie-timeout が二度指定されています。",
     [](const std::string& value, CliOptions& out, bool&, std::string& error) {
         uint64_t seconds = 0;
         if (!ParseUnsigned(value, 86400, seconds) || seconds == 0) {
             error = "--movie-timeout には 1 から 86400 までの秒数を指定してください: " + value;
             return false;
         }
         out.movieTimeoutSeconds = uint32_t(seconds);
         return true;
     }},
    {"--relink", "", Slot::Repeatable, nullptr,
     [](const std::string& value, CliOptions& out, bool&, std::string& error) {
         const size_t equals = value.find('=');
         if (equals == std::string::npos || equals == 0 || equals + 1 == value.size()) {
             error = "--relink には 古いフォルダ=新しいフォルダ の形で指定してください: " + value;
             return false;
         }
         out.relinks.push_back({value.substr(0, equals), value.substr(equals + 1)});
         return true;
     }},
    {"--set", "", Slot::Repeatable, nullptr,
     [](const std::string& value, CliOptions& out, bool&, std::string& error) {
         SettingOverride setting;
         if (!ParseSettingOverride(value, setting, error)) {
             return false;
         }
         out.settings.push_back(std::move(setting));
         return true;
     }},
};

const ValueOption* FindValueOption(std::string_view name) {
    for (const ValueOption& option : kValueOptions) {
        if (name == option.name || (!option.alias.empty() && name == option.alias)) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, CliOptions& out, std::string& error) {
    out = CliOptions{};
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            break;
        }
        if (arg == "--help" || arg == "-h") {
            out.mode = CliOptions::Mode::Help;
            return true;
        }
    }

    ArgumentReader args(argc, argv);
    bool given[size_t(Slot::Count)] = {};
    bool listCodecs = false;
    bool listEffects = false;
    bool onlyPositional = false;
    bool join = false;
    std::vector<std::string> positional;
    std::string_view arg;
    std::string value;
    while (args.Next(arg)) {
        if (!onlyPositional && arg == "--") {
            onlyPositional = true;
            continue;
        }
        const std::string_view name = OptionName(arg);
        if (onlyPositional || arg.empty() || arg.front() != '-' || arg == "-") {
            positional.emplace_back(arg);
        } else if (const ValueOption* option = FindValueOption(name)) {
            bool& slotGiven = given[size_t(option->slot)];
            if (option->givenTwice != nullptr && slotGiven) {
                error = option->givenTwice;
                return false;
            }
            if (!args.Value(name, arg, value, error) || !option->apply(value, out, join, error)) {
                return false;
            }
            slotGiven = true;
        } else if (arg == "--keep-going") {
            out.keepGoing = true;
        } else if (arg == "--no-audio") {
            out.noAudio = true;
        } else if (arg == "--abort-on-draw-error") {
            out.abortOnDrawError = true;
        } else if (arg == "--list-codecs") {
            listCodecs = true;
        } else if (arg == "--list-effects") {
            listEffects = true;
        } else {
            error = "不明なオプションです: " + std::string(arg);
            return false;
        }
    }
    const bool haveFrame = given[size_t(Slot::Frame)];
    const bool haveOutput = given[size_t(Slot::Output)] && !join;
    const bool haveCodec = given[size_t(Slot::Codec)] || given[size_t(Slot::Quality)] ||
                           given[size_t(Slot::AudioCodec)] || out.noAudio;

    if (listCodecs) {
        if (argc != 1) {
            error = "--list-codecs は他の引数と一緒には指定できません。";
            return false;
        }
        out.mode = CliOptions::Mode::ListCodecs;
        return true;
    }
    if (listEffects) {
        if (argc != 1) {
            error = "--list-effects は他の引数と一緒には指定できません。";
            return false;
        }
        out.mode = CliOptions::Mode::ListEffects;
        return true;
    }
    if (join) {
        if (haveFrame || out.track || out.frames || haveCodec || out.keepGoing ||
            out.abortOnDrawError || !out.settings.empty() || !out.relinks.empty() ||
            given[size_t(Slot::MovieTimeout)]) {
            error = "--join は他のオプションと一緒には指定できません。";
            return false;
        }
        if (positional.empty()) {
            error = "つなぐファイルが指定されていません。";
            return false;
        }
        out.parts = std::move(positional);
        out.mode = CliOptions::Mode::Join;
        return true;
    }
    if (positional.size() > 1) {
        error = "プロジェクトファイルは一つだけ指定してください: " + positional[1];
        return false;
    }
    if (!positional.empty()) {
        out.project = positional.front();
    }
    if (out.project.empty()) {
        error = "プロジェクトファイルが指定されていません。";
        return false;
    }
    if (!haveOutput) {
        error = "出力ファイルが指定されていません（-o）。";
        return false;
    }
    if (haveFrame) {
        if (out.frames) {
            error = "--frame と --frames は一緒には指定できません。";
            return false;
        }
        if (haveCodec || out.abortOnDrawError) {
            error =
                "--codec、--quality、--audio-codec、--no-audio と --abort-on-draw-error は"
                "動画ファイルの作成にだけ使えます。";
            return false;
        }
        out.mode = CliOptions::Mode::Frame;
        return true;
    }
    if (out.track) {
        error = "--track は --frame と一緒に指定してください。";
        return false;
    }
    if (out.noAudio && !out.audioCodec.empty()) {
        error = "--audio-codec と --no-audio は一緒には指定できません。";
        return false;
    }
    out.mode = CliOptions::Mode::Export;
    return true;
}

const char* HelpText() {
    return R"(使い方:
  kelvane-render PROJECT.xqm --frame N [--track T] -o OUT.bmp [--keep-going] [--set KEY=VALUE]...
                 [--relink OLD=NEW]...
  kelvane-render PROJECT.xqm -o OUT.avi|.mp4|.mov|.mkv|.webm [--frames A-B] [--codec NAME]
                 [--quality N] [--audio-codec NAME | --no-audio] [--keep-going]
                 [--abort-on-draw-error] [--movie-timeout SECONDS] [--set KEY=VALUE]...
                 [--relink OLD=NEW]...
  kelvane-render --join OUT PART...
  kelvane-render --list-codecs
  kelvane-render --list-effects
  kelvane-render --help

Kelvane のプロジェクトファイル (.xqm) を画面なしで描画します。

  --frame N            フレーム N の画像を BMP ファイルに保存します（プレビュー画像の保存と
                       同じ形式: 32 ビット、下の行から）。トラックは描画の前にリセットされます。
  --track T            --frame と一緒に: トラック T (0-255) だけを描画します。
  -o, --output PATH    出力ファイル。--frame がなければ、フレーム 0 から長さ - 1 までを
                       動画ファイルに書き出します。ファイルの種類は拡張子で決まります:
                         .avi   AVI（既定の圧縮形式: uncompressed）
                         .mp4   MP4（h264、hevc、av1）
                         .mov   QuickTime（prores、h264）
                         .mkv   Matroska（ffv1、h264、hevc、vp9、av1）
                         .webm  WebM（vp9、av1）
                       括弧内の最初の形式が既定です。ほかの拡張子は何も書かずに拒否します。
                       ファイルのコメント (AVI は INFO の ICMT) には、プロジェクトのパスと
                       その SHA-256、書き出した範囲と圧縮形式を記録します。MP4 と QuickTime は
                       断片化した形式で、どこで止まっても書いたフレームまで再生できます。
  --frames A-B         出力フレーム A から B まで（両端を含む）だけを書き出します。各フレームは
                       全体を書き出したときのその位置のフレームと同じで（補間、動画の位置、
                       ネストしたプロジェクトを含む）、キーフレームで始まるので、続いた範囲の
                       ファイルは --join でつなぎ目なくつなげます。
  --join OUT PART...
                       同じプロジェクトから書き出した続いた範囲のファイルを、圧縮された
                       フレームをそのままコピーして一つのファイルにつなぎます（範囲の順に
                       並べ替えます。出力と同じ種類のファイルどうし）。大きさ、フレームレート、
                       圧縮形式とその設定、プロジェクトが違うファイルや、範囲に抜けや重なりが
                       あるファイルは、何も書かずに理由を表示して拒否します。音声は PCM と
                       FLAC ならそのままつなぎます。AAC と Opus は部分ごとに符号化の始まりが
                       入るため、記録されたプロジェクトが書き出したときのままあれば、その音声を
                       範囲全体で一つながりに作り直します。なければ各部分の音声をそのまま
                       つなぎ、つなぎ目で音がクリックすることがあると表示します。
  --codec NAME         圧縮形式（既定: 出力の種類の既定）。名前とそれを書ける種類は
                       --list-codecs で確認できます。合わない組み合わせは何も書かずに拒否します。
  --quality N          圧縮の品質 0（最小のファイル）から 100（最良の画質）、既定 75。
                       MP4/MOV/MKV/WebM では各エンコーダーの固定品質に対応します:
                         h264 (x264)   CRF = 75 で 18、100 で 0（可逆）、0 で 51
                         hevc (x265)   CRF = 75 で 20、100 で 0、0 で 51
                         vp9           CRF = 75 で 24、100 で 0、0 で 63
                         av1 (SVT-AV1) CRF = 75 で 26、100 で 0、0 で 63
                         （その間は直線で補間し、四捨五入します）
                         prores        プロファイル = 0-24 Proxy、25-49 LT、50-74 標準、
                                       75-100 HQ
                       ffv1 と uncompressed は可逆で、品質の設定はありません。AVI の
                       mjpeg と mpeg4 は量子化値 2 (100) から 31 (0)、h264 は CRF 18 (100) から
                       51 (0) です（指定しなければ各形式のふだんの設定）。
  --audio-codec NAME   音声の圧縮形式。音のある素材がミュートされていないトラックに置かれて
                       いれば、ファイルは音声 (48 kHz ステレオ) を一つ持ちます。既定は
                         .avi   pcm            .mp4   aac (192 kb/s)
                         .mov   pcm (prores)、aac (h264)
                         .mkv   flac (ffv1)、opus（ほか）    .webm  opus (160 kb/s)
                       書ける組み合わせは --list-codecs で確認できます。
  --no-audio           音声を書きません。
  --abort-on-draw-error
                       イベントの描画でエラーが発生したら書き出しを中断します（既定では
                       描画できたところまでの画像を書いて続けます）。
  --keep-going         プロジェクトの読み込み中に素材が読めないとき「続行しますか？」に
                       「はい」と答えます（その素材の設定は破棄されます）。指定しなければ
                       「いいえ」と答え、読み込みは失敗します。
  --relink OLD=NEW     フォルダ OLD にあった素材が見つからないとき、NEW の同じ場所（同じ名前、
                       同じサブフォルダ）から読み込みます。移動した素材のフォルダごとに繰り返し
                       指定できます。付け替えた数を標準エラー出力に表示します。
  --movie-timeout SECONDS
                       動画の画像を待つとき、デコードが進んでいる間は待ち続け、この秒数の間
                       まったく進まなかったときにだけ、ファイルとフレームを表示してあきらめます
                       （既定: 60）。
  --set KEY=VALUE      INI ファイルの [Settings] の値 (PixelQuality, DrawFrameThread など) を
                       この実行に限って変更します。繰り返し指定できます。
  --list-codecs        使える圧縮形式を一行に一つ、名前、説明、書けるファイルの種類の順に
                       タブで区切って表示します。音声の圧縮形式は映像のあとに、説明が「音声」で
                       始まる行として続きます。
  --list-effects       実行ファイルと同じフォルダの効果モジュール (effect.so、frei0r.so など) の
                       効果を一行に一つ "\モジュール>名前" の形で、その下に設定項目を一行に一つ
                       （名前、種類、既定値、範囲、説明をタブで区切って）表示します。
  -h, --help           この説明を表示します。

設定は GUI と同じ INI ファイル (実行ファイルと同じフォルダの kelvane.INI、そのフォルダに書き込め
ない場合は $XDG_CONFIG_HOME/kelvane/kelvane.INI) から読み、書き戻しはしません。画像プラグイン (*.spi) と effect.so も実行ファイルと同じフォルダから読み込みます。
動画の画像の取得が --movie-timeout の間まったく進まなければ、その描画はエラーになります。
書き出し中に Ctrl+C を押すと「中断」と同じく停止し、それまでのフレームを持つファイルが
残ります。進捗は標準エラー出力に表示します（端末では一行を更新し続けます）。

エラーは一行目にメッセージ、二行目にファイルと理由（「ディスクに空き領域がありません。」など）を
標準エラー出力に表示します。

終了コード: 0 成功、1 失敗（読み込み、描画、書き出しの失敗や中断）、2 使い方の誤り。
)";
}

}  // namespace kelvane::cli
