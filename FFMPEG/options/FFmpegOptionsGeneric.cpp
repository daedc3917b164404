// The generic option path: options the table does not know go to the libraries' option
// contexts (codec, format, scaler), are remembered by name, and are copied later onto the
// real codec and format contexts. Old option names are translated to today's first.
#include "FFmpeg.h"

#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "ScopedCLocale.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace {

// The codec option contexts in the order they are tried, with the option flag an option
// must carry to be set on that kind's context (0 takes every option).
struct KindFlag {
    AVMediaType kind;
    int flag;
};

constexpr KindFlag kKindFlags[] = {
    {AVMEDIA_TYPE_VIDEO, AV_OPT_FLAG_VIDEO_PARAM},
    {AVMEDIA_TYPE_AUDIO, AV_OPT_FLAG_AUDIO_PARAM},
    {AVMEDIA_TYPE_DATA, 0},
    {AVMEDIA_TYPE_SUBTITLE, AV_OPT_FLAG_SUBTITLE_PARAM},
    {AVMEDIA_TYPE_ATTACHMENT, 0},
};

// Rate options that used to be video options only and that today's codec options also
// mark as audio options. They keep their old, video-only meaning: otherwise a video bit
// rate would be set on, and copied to, the audio encoder. "ab" and the record fields
// reach the audio context under their own names or through the prefix rule.
constexpr std::string_view kVideoOnlyNames[] = {"b", "maxrate", "minrate", "bufsize"};

// Muxer options that older releases kept in the format context itself.
constexpr std::string_view kMuxerNames[] = {"muxrate", "preload"};

// Encoder kinds that private options are kept for.
constexpr AVMediaType kPrivateOptionKinds[] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO,
                                               AVMEDIA_TYPE_SUBTITLE};

// The option's flags as the engine reads them (see kVideoOnlyNames).
int optionFlags(const AVOption* option) {
    if (std::find(std::begin(kVideoOnlyNames), std::end(kVideoOnlyNames), option->name) !=
        std::end(kVideoOnlyNames))
        return option->flags & ~AV_OPT_FLAG_AUDIO_PARAM;
    return option->flags;
}

bool isBlankText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

template <std::size_t N> bool contains(const std::string_view (&names)[N], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Sets the option on one object; the option set, or null when the object does not know
// the name or refuses the value.
const AVOption* setOn(void* object, const std::string& name, const std::string& value) {
    if (!object)
        return nullptr;
    if (lavu.av_opt_set(object, name.c_str(), value.c_str(), 0) < 0)
        return nullptr;
    return lavu.av_opt_find(object, name.c_str(), nullptr, 0, 0);
}

bool knows(void* object, const std::string& name) {
    return object && lavu.av_opt_find(object, name.c_str(), nullptr, 0, 0);
}

} // namespace

bool TCustomFFmpeg::SetGenericOption(const std::string& name, const std::string& value) {
    if (isBlankText(name) || isBlankText(value) || !CodecOptionContexts[AVMEDIA_TYPE_VIDEO])
        return false;
    const ScopedCLocale cLocale;
    bool result = false;
    if (TranslateOldOption(name, value, result))
        return result;
    if (SetContextOption(name, value))
        return true;
    KeepPrivateOption(name, value);
    return false;
}

bool TCustomFFmpeg::SetGenericIntOption(const std::string& name, int64_t value) {
    return SetGenericOption(name, std::to_string(value));
}

bool TCustomFFmpeg::TranslateOldOption(const std::string& name, const std::string& value,
                                       bool& result) {
    if (name == "gop") {
        result = SetGenericOption("g", value);
        return true;
    }
    if (contains(kMuxerNames, name) && !knows(FormatOptionContext, name)) {
        SetPrivateFormatOption(name, value);
        result = true;
        return true;
    }
    if (name != "flags")
        return false;
    // "flags" is a list of "+name" / "-name" words; the old SCAN_OFFSET flag is today a
    // private option of the MPEG-2 video encoder.
    std::string rest;
    bool scanOffset = false;
    std::size_t start = 0;
    while (start < value.size()) {
        std::size_t end = value.find_first_of("+-", start + 1);
        if (end == std::string::npos)
            end = value.size();
        const std::string_view word(value.data() + start, end - start);
        const bool hasSign = word.front() == '+' || word.front() == '-';
        if (equalsNoCase(hasSign ? word.substr(1) : word, "scan_offset")) {
            scanOffset = true;
            lavu.av_dict_set(&CodecPrivateOptions[AVMEDIA_TYPE_VIDEO], "scan_offset",
                             word.front() == '-' ? "0" : "1", 0);
        } else {
            rest += word;
        }
        start = end;
    }
    if (!scanOffset)
        return false;
    result = isBlankText(rest) ? true : SetContextOption(name, rest);
    return true;
}

bool TCustomFFmpeg::SetContextOption(const std::string& name, const std::string& value) {
    AVCodecContext* videoContext = CodecOptionContexts[AVMEDIA_TYPE_VIDEO];
    const AVOption* result = nullptr;
    const AVOption* known = lavu.av_opt_find(videoContext, name.c_str(), nullptr, 0, 0);
    for (const KindFlag& entry : kKindFlags)
        if (known && (optionFlags(known) & entry.flag) == entry.flag)
            result = setOn(CodecOptionContexts[entry.kind], name, value);
    if (!result)
        result = setOn(FormatOptionContext, name, value);
    if (!result)
        result = setOn(ScalerOptionContext, name, value);
    if (!result && name.size() > 1) {
        const std::string rest = name.substr(1);
        if (name[0] == 'a')
            result = setOn(CodecOptionContexts[AVMEDIA_TYPE_AUDIO], rest, value);
        else if (name[0] == 'v')
            result = setOn(videoContext, rest, value);
        else if (name[0] == 's')
            result = setOn(CodecOptionContexts[AVMEDIA_TYPE_SUBTITLE], rest, value);
    }
    if (!result)
        return false;
    GenericOptionNames.emplace_back(result->name);
    if (videoContext->debug || (FormatOptionContext && FormatOptionContext->debug)) {
        Verbosity = 2;
        lavu.av_log_set_level(LibraryLogLevel(2));
        SetMediaLogVerbosity(LibraryLogLevel(2));
    }
    return true;
}

void TCustomFFmpeg::KeepPrivateOption(const std::string& name, const std::string& value) {
    // A name an option context knows was refused for its value: it is nobody's private
    // option, and handing it on would make the encoder or muxer refuse to open.
    for (AVCodecContext* context : CodecOptionContexts)
        if (knows(context, name))
            return;
    if (knows(FormatOptionContext, name) || knows(ScalerOptionContext, name))
        return;
    for (AVMediaType kind : kPrivateOptionKinds)
        lavu.av_dict_set(&CodecPrivateOptions[kind], name.c_str(), value.c_str(), 0);
    lavu.av_dict_set(&FormatPrivateOptions, name.c_str(), value.c_str(), 0);
}

void TCustomFFmpeg::SetPrivateFormatOption(const std::string& name, const std::string& value) {
    if (MediaLibrariesLoaded())
        lavu.av_dict_set(&FormatPrivateOptions, name.c_str(), value.c_str(), 0);
}

int TCustomFFmpeg::ApplyPrivateOptions(void* target, int kind) const {
    const AVDictionary* options = nullptr;
    if (kind < 0)
        options = FormatPrivateOptions;
    else if (kind < kCodecOptionKinds)
        options = CodecPrivateOptions[kind];
    if (!target || !options)
        return 0;
    const ScopedCLocale cLocale;
    int taken = 0;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = lavu.av_dict_get(options, "", entry, AV_DICT_IGNORE_SUFFIX)))
        if (lavu.av_opt_set(target, entry->key, entry->value, AV_OPT_SEARCH_CHILDREN) >= 0)
            ++taken;
    return taken;
}

void TCustomFFmpeg::CopyGenericOptions(void* target, void* source, int flags) const {
    if (!target || !source)
        return;
    const ScopedCLocale cLocale;
    for (const std::string& name : GenericOptionNames) {
        const AVOption* option = lavu.av_opt_find(source, name.c_str(), nullptr, 0, 0);
        if (!option || (optionFlags(option) & flags) != flags)
            continue;
        uint8_t* text = nullptr;
        if (lavu.av_opt_get(source, name.c_str(), 0, &text) >= 0 && text)
            lavu.av_opt_set(target, name.c_str(), reinterpret_cast<const char*>(text), 0);
        lavu.av_free(text);
    }
}
