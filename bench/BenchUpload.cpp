// Producing the upload body of a voice track, as the transport asks for it,
// against the same text put together with OpenSSL's Base64 and libcurl's
// escaping.

#include "remote/UploadBody.h"

#include <QByteArray>
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <openssl/evp.h>
#include <random>
#include <string>
#include <vector>

namespace {

const QByteArray BodyPrefix = "user=U&pass=W&action=vocarra&fn=take1.flac&pos=6&vt=";
constexpr std::size_t SendChunk = 64 * 1024; // what the transport asks for at a time

QByteArray RandomFile(qsizetype ASize) {
    std::mt19937 random(1234);
    QByteArray out(ASize, Qt::Uninitialized);
    for (char &c : out)
        c = char(random());
    return out;
}

void BM_UploadBody(benchmark::State &AState) {
    const QByteArray file = RandomFile(AState.range(0));
    std::vector<char> chunk(SendChunk);
    for (auto _ : AState) {
        TUploadBody body(BodyPrefix, file);
        // The transport announces the length before it sends.
        benchmark::DoNotOptimize(body.Size());
        while (const std::size_t n = body.Read(chunk.data(), chunk.size()))
            benchmark::DoNotOptimize(chunk.data() + n);
    }
    AState.SetBytesProcessed(AState.iterations() * AState.range(0));
}
BENCHMARK(BM_UploadBody)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

std::string ReferenceBody(const QByteArray &AFile, CURL *ACurl) {
    // Base64 in 57-byte lines, each full line followed by CR LF.
    std::string base64;
    base64.reserve(std::size_t(AFile.size()) / 57 * 78 + 80);
    unsigned char line[80];
    const auto *src = reinterpret_cast<const unsigned char *>(AFile.constData());
    for (qsizetype pos = 0; pos < AFile.size(); pos += 57) {
        const int n = int(std::min<qsizetype>(57, AFile.size() - pos));
        const int written = EVP_EncodeBlock(line, src + pos, n);
        base64.append(reinterpret_cast<const char *>(line), std::size_t(written));
        if (written == 76)
            base64 += "\r\n";
    }
    char *escaped = curl_easy_escape(ACurl, base64.data(), int(base64.size()));
    std::string body = BodyPrefix.toStdString() + escaped;
    curl_free(escaped);
    return body;
}

void BM_UploadBodyReference(benchmark::State &AState) {
    const QByteArray file = RandomFile(AState.range(0));
    CURL *curl = curl_easy_init();
    // Both ways must produce the same text, or the comparison means nothing.
    if (TUploadBody(BodyPrefix, file).All().toStdString() != ReferenceBody(file, curl)) {
        AState.SkipWithError("reference body differs");
        curl_easy_cleanup(curl);
        return;
    }
    for (auto _ : AState)
        benchmark::DoNotOptimize(ReferenceBody(file, curl));
    AState.SetBytesProcessed(AState.iterations() * AState.range(0));
    curl_easy_cleanup(curl);
}
BENCHMARK(BM_UploadBodyReference)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

} // namespace
