#include "app/cli/CliDevices.h"

#include "app/cli/CliOutput.h"

#include <functional>
#include <utility>
#include <vector>

namespace {

template <class TInfo> using TGetInfo = std::function<bool(int, TInfo &)>;

// Devices 0, 1, 2, ... while the layer gives one.
template <class TInfo> std::vector<TInfo> ListOf(const TGetInfo<TInfo> &AGet) {
    std::vector<TInfo> list;
    TInfo info;
    while (AGet(static_cast<int>(list.size()), info))
        list.push_back(info);
    return list;
}

struct TLayers {
    std::vector<TDeviceInfo> Output;
    std::vector<TDeviceInfo> Capture;
    std::vector<TWasapiDeviceInfo> Wasapi;
    std::vector<TDeviceInfo> Asio;
};

TLayers ReadLayers(const TAudioLibrary &ALibrary) {
    return {
        ListOf<TDeviceInfo>([&](int N, TDeviceInfo &I) { return ALibrary.GetDeviceInfo(N, I); }),
        ListOf<TDeviceInfo>(
            [&](int N, TDeviceInfo &I) { return ALibrary.RecordGetDeviceInfo(N, I); }),
        ListOf<TWasapiDeviceInfo>(
            [&](int N, TWasapiDeviceInfo &I) { return ALibrary.WasapiGetDeviceInfo(N, I); }),
        ListOf<TDeviceInfo>(
            [&](int N, TDeviceInfo &I) { return ALibrary.AsioGetDeviceInfo(N, I); }),
    };
}

QString Lines(const QString &AKey, const std::vector<TDeviceInfo> &AList) {
    QString out = QStringLiteral("# ") + AKey + u'\n';
    for (size_t i = 0; i < AList.size(); ++i) {
        out += QString::number(i) + u'\t' + OneLine(AList[i].Name) + u'\t' +
               OneLine(AList[i].Driver) + u'\n';
    }
    return out;
}

QString Lines(const QString &AKey, const std::vector<TWasapiDeviceInfo> &AList) {
    QString out = QStringLiteral("# ") + AKey + u'\n';
    for (size_t i = 0; i < AList.size(); ++i) {
        const TWasapiDeviceInfo &d = AList[i];
        out += QString::number(i) + u'\t' + OneLine(d.Name) + u'\t' + OneLine(d.Id) + u'\t' +
               QString::number(d.Flags) + u'\t' + WasapiFlagWords(d.Flags).join(u',') + u'\n';
    }
    return out;
}

QString JsonArray(const std::vector<TDeviceInfo> &AList) {
    QStringList items;
    for (size_t i = 0; i < AList.size(); ++i) {
        items << QStringLiteral("{\"number\":%1,\"name\":").arg(i) + JsonString(AList[i].Name) +
                     QStringLiteral(",\"driver\":") + JsonString(AList[i].Driver) + u'}';
    }
    return u'[' + items.join(u',') + u']';
}

QString JsonArray(const std::vector<TWasapiDeviceInfo> &AList) {
    QStringList items;
    for (size_t i = 0; i < AList.size(); ++i) {
        const TWasapiDeviceInfo &d = AList[i];
        QStringList words;
        for (const QString &word : WasapiFlagWords(d.Flags))
            words << JsonString(word);
        items << QStringLiteral("{\"number\":%1,\"name\":").arg(i) + JsonString(d.Name) +
                     QStringLiteral(",\"id\":") + JsonString(d.Id) +
                     QStringLiteral(",\"flags\":%1,\"flagWords\":[").arg(d.Flags) +
                     words.join(u',') + QStringLiteral("]}");
    }
    return u'[' + items.join(u',') + u']';
}

} // namespace

QStringList WasapiFlagWords(quint32 AFlags) {
    const std::pair<quint32, QLatin1String> words[] = {
        {wdfEnabled, QLatin1String("enabled")},
        {wdfLoopback, QLatin1String("loopback")},
        {wdfInput, QLatin1String("input")},
    };
    QStringList result;
    for (const auto &[bit, word] : words) {
        if ((AFlags & bit) != 0)
            result << word;
    }
    return result;
}

QString DevicesLines(const TAudioLibrary &ALibrary) {
    const TLayers layers = ReadLayers(ALibrary);
    return Lines(QStringLiteral("standard output"), layers.Output) +
           Lines(QStringLiteral("standard capture"), layers.Capture) +
           Lines(QStringLiteral("wasapi"), layers.Wasapi) +
           Lines(QStringLiteral("asio"), layers.Asio);
}

QString DevicesJson(const TAudioLibrary &ALibrary) {
    const TLayers layers = ReadLayers(ALibrary);
    return QStringLiteral("{\"output\":") + JsonArray(layers.Output) +
           QStringLiteral(",\"capture\":") + JsonArray(layers.Capture) +
           QStringLiteral(",\"wasapi\":") + JsonArray(layers.Wasapi) +
           QStringLiteral(",\"asio\":") + JsonArray(layers.Asio) + QStringLiteral("}\n");
}
