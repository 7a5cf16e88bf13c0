#pragma once
// Decoding an application/x-www-form-urlencoded body and its Base64 voice
// track while it arrives, so an upload of any size needs little memory.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

// The items of a form or query: name -> value; the first of equal names wins.
using TFormFields = std::map<std::string, std::string, std::less<>>;

// Splits a form body fed in pieces of any size into its items and decodes
// "+" and "%XX" in names and values. A "%" that is not followed by two
// hexadecimal digits stays as it is. The value of the streamed item (the
// first item of that name) is handed to a sink in pieces instead of being kept.
class TFormDecoder {
public:
    using TSink = std::function<void(std::string_view ABytes)>;

    // AMaxKept bounds every kept name and value; a longer one makes the form invalid.
    TFormDecoder(std::string AStreamedName, TSink ASink, std::size_t AMaxKept = 64 * 1024);

    void Feed(std::string_view AData);
    // Ends the last item; call once after the last Feed.
    void Finish();

    const TFormFields &Fields() const { return FFields; }
    // Whether the streamed item was part of the form.
    bool HasStreamed() const { return FStreamedSeen; }
    // A kept name or value was longer than allowed (what follows is ignored).
    bool Overflow() const { return FOverflow; }

private:
    enum TPart { fpName, fpValue, fpStreamed, fpSkipped };

    void Emit(char AByte);
    void EndName();
    void EndItem();
    void Flush();

    std::string FStreamedName;
    TSink FSink;
    std::size_t FMaxKept;
    TFormFields FFields;
    TPart FPart = fpName;
    std::string FName;
    std::string FValue;
    std::string FPending; // decoded bytes of the streamed item not yet handed on
    int FPercent = 0;     // 1: after "%", 2: after "%" and one hex digit
    char FFirstDigit = 0;
    bool FStreamedSeen = false;
    bool FOverflow = false;
};

// Decodes standard Base64 fed in pieces of any size. Line breaks and other
// white space are skipped; "=" padding may end the text; any other character,
// data after the padding or a dangling single character makes it invalid.
class TBase64Decoder {
public:
    using TSink = std::function<void(std::string_view ABytes)>;

    explicit TBase64Decoder(TSink ASink);

    void Feed(std::string_view AText);
    // Ends the text; false when it was not valid Base64.
    bool Finish();

    bool Failed() const { return FFailed; }

private:
    // Hands on the bytes of the current group of FCount characters.
    void EndGroup();

    TSink FSink;
    std::uint32_t FBits = 0;
    int FCount = 0;      // characters of the current group of four
    int FPadding = 0;    // "=" of the current group
    bool FEnded = false; // a short group closed the text
    bool FFailed = false;
    std::string FOut;
};
