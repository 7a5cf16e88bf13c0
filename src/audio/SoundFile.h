#pragma once
// Sound files through libsndfile, always as interleaved 32-bit float samples
// whatever the file stores. The reader serves file streams of the audio
// engine; the writer lets a processed file keep the container, sample format
// and rate of the file it came from.

#include <QString>
#include <QtGlobal>

struct sf_private_tag; // libsndfile's SNDFILE

struct TSoundFileInfo {
    quint32 FRate = 0;
    quint32 FChannels = 0;
    qint64 FFrames = 0; // as the file header says; may be unknown (0) for some formats
    int FFormat = 0;    // libsndfile's container | sample format code
};

class TSoundFileReader {
public:
    TSoundFileReader() = default;
    ~TSoundFileReader();
    TSoundFileReader(const TSoundFileReader &) = delete;
    TSoundFileReader &operator=(const TSoundFileReader &) = delete;

    // false with AError set when the file cannot be opened as sound.
    bool Open(const QString &AFileName, QString *AError = nullptr);
    const TSoundFileInfo &Info() const { return FInfo; }
    // Reads AFrames frames, fewer only at the end of the file or on a read
    // error (Failed() tells them apart); returns the frames read. Allocates
    // nothing.
    qint64 ReadFrames(float *ABuffer, qint64 AFrames);
    // Frames read so far: where a failed read stopped.
    qint64 Position() const { return FPosition; }
    // A read failed, or the file ended before the frame count its header
    // gives (the library reports some damaged files only that way).
    bool Failed() const { return FErrorCode != 0; }
    QString ErrorText() const;
    void Close();

private:
    sf_private_tag *FFile = nullptr;
    TSoundFileInfo FInfo;
    qint64 FPosition = 0;
    int FErrorCode = 0; // the library's error number, or ShortFile
};

class TSoundFileWriter {
public:
    TSoundFileWriter() = default;
    // Closes the file if Close was not called (errors then go unreported).
    ~TSoundFileWriter();
    TSoundFileWriter(const TSoundFileWriter &) = delete;
    TSoundFileWriter &operator=(const TSoundFileWriter &) = delete;

    // Creates AFileName with the rate, channel count and format of AInfo
    // (FFrames is ignored). Float samples beyond +-1 are clipped when the
    // format stores integers.
    bool Open(const QString &AFileName, const TSoundFileInfo &AInfo, QString *AError = nullptr);
    bool WriteFrames(const float *ABuffer, qint64 AFrames, QString *AError = nullptr);
    // Finishes the header; false with AError set when that fails.
    bool Close(QString *AError = nullptr);

private:
    sf_private_tag *FFile = nullptr;
    TSoundFileInfo FInfo;
};
