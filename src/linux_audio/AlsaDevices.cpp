#include "linux_audio/AlsaDevices.h"

#include <alsa/asoundlib.h>
#include <cstdlib>
#include <mutex>

namespace {

// snd_device_name_get_hint hands out malloc'ed text, or null when the hint
// lacks the field.
QString TakeHintField(const void *AHint, const char *AField) {
    char *text = snd_device_name_get_hint(AHint, AField);
    if (text == nullptr)
        return {};
    QString result = QString::fromLocal8Bit(text);
    std::free(text);
    return result;
}

QString DisplayName(const TPcmHint &AHint) {
    const QString firstLine = AHint.Desc.section(u'\n', 0, 0).trimmed();
    return firstLine.isEmpty() ? AHint.Name : firstLine;
}

} // namespace

TStandardLists BuildStandardLists(const std::vector<TPcmHint> &AHints) {
    const QString defaultDriver = QStringLiteral("default");
    TStandardLists lists;
    lists.Output.push_back({QStringLiteral("No sound"), QString()});
    lists.Output.push_back({QStringLiteral("Default"), defaultDriver});
    lists.Capture.push_back({QStringLiteral("Default"), defaultDriver});
    for (const TPcmHint &hint : AHints) {
        if (hint.Name.isEmpty() || hint.Name == defaultDriver)
            continue;
        const TDeviceInfo info{DisplayName(hint), hint.Name};
        if (hint.IOID.isEmpty() || hint.IOID == QLatin1String("Output"))
            lists.Output.push_back(info);
        if (hint.IOID.isEmpty() || hint.IOID == QLatin1String("Input"))
            lists.Capture.push_back(info);
    }
    return lists;
}

std::vector<TPcmHint> ReadPcmHints() {
    static std::mutex Lock;
    std::lock_guard guard(Lock);
    std::vector<TPcmHint> result;
    void **hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr)
        return result;
    for (void **hint = hints; *hint != nullptr; ++hint) {
        result.push_back({TakeHintField(*hint, "NAME"), TakeHintField(*hint, "DESC"),
                          TakeHintField(*hint, "IOID")});
    }
    snd_device_name_free_hint(hints);
    return result;
}
