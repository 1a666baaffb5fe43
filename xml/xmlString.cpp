#include "xml/xmlString.h"

#include <memory>
#include <stdexcept>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/util/PanicHandler.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLException.hpp>

namespace vODodi {
namespace XML {
namespace {

using xercesc::XMLPlatformUtils;
using xercesc::XMLTranscoder;

// Xerces calls this on unrecoverable trouble; the default handler would print
// and exit the host process.
class CThrowingPanicHandler : public xercesc::PanicHandler {
  public:
    void panic(const PanicReasons reason) override {
        throw std::runtime_error(std::string("Xerces-C panic: ") + getPanicReasonString(reason));
    }
};

const XMLCh REPLACEMENT_CHAR = 0xFFFD;
const std::size_t BLOCK_SIZE = 1024;

// A fresh GBK transcoder, or null when the transcoding service does not know
// GBK.  Transcoders keep conversion state between calls (a lead byte at the
// end of one text would pair with the start of the next), so each conversion
// takes its own.
std::unique_ptr<XMLTranscoder> makeGbkTranscoder() {
    initXerces();
    xercesc::XMLTransService::Codes code = xercesc::XMLTransService::Ok;
    std::unique_ptr<XMLTranscoder> transcoder(
        XMLPlatformUtils::fgTransService->makeNewTranscoderFor("GBK", code, BLOCK_SIZE));
    if (code != xercesc::XMLTransService::Ok) transcoder.reset();
    return transcoder;
}

// Length of the text without a lead byte left dangling at its end (a GBK
// double-byte character is a lead byte 0x81-0xFE and one trail byte).
std::size_t completeLength(const unsigned char* bytes, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        if (bytes[i] >= 0x81 && bytes[i] <= 0xFE) {
            if (i + 1 == n) return i;
            i += 2;
        } else {
            ++i;
        }
    }
    return n;
}

bool isAscii(const unsigned char* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] >= 0x80) return false;
    }
    return true;
}

// Appends the GBK bytes as UTF-16 to out; what cannot be decoded becomes
// U+FFFD.  GBK gives at most one UTF-16 unit per byte, so one call with a
// buffer of n units converts the whole text (no character split at a chunk
// boundary).
void decodeGbk(const unsigned char* src, std::size_t n, std::vector<XMLCh>& out) {
    const std::size_t complete = completeLength(src, n);
    const std::unique_ptr<XMLTranscoder> transcoder = makeGbkTranscoder();
    if (transcoder != nullptr && complete > 0) {
        std::vector<XMLCh> buffer(n);
        std::vector<unsigned char> sizes(n);
        XMLSize_t eaten = 0;
        XMLSize_t made = 0;
        try {
            made = transcoder->transcodeFrom(src, complete, buffer.data(), n, eaten, sizes.data());
        } catch (...) {
            made = 0;
            eaten = 0;
        }
        out.insert(out.end(), buffer.data(), buffer.data() + made);
        src += eaten;
        n -= eaten;
    }
    // Whatever the transcoder did not take: ASCII stays, the rest is replaced.
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(src[i] < 0x80 ? XMLCh(src[i]) : REPLACEMENT_CHAR);
}

}  // namespace

void initXerces() {
    static const bool initialised = [] {
        static CThrowingPanicHandler panicHandler;
        XMLPlatformUtils::Initialize(xercesc::XMLUni::fgXercescDefaultLocale, nullptr,
                                     &panicHandler);
        return true;
    }();
    static_cast<void>(initialised);
}

CToXMLCh::CToXMLCh(const std::string& gbk) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.c_str());
    const std::size_t n = xercesc::XMLString::stringLen(gbk.c_str());  // up to an embedded NUL
    m_text.reserve(n + 1);
    if (isAscii(bytes, n)) {
        m_text.assign(bytes, bytes + n);
    } else {
        decodeGbk(bytes, n, m_text);
    }
    m_text.push_back(0);
}

std::string fromXMLCh(const XMLCh* text) {
    std::string out;
    if (text == nullptr) return out;
    const XMLSize_t n = xercesc::XMLString::stringLen(text);
    bool ascii = true;
    for (XMLSize_t i = 0; i < n && ascii; ++i) ascii = text[i] < 0x80;
    if (ascii) {
        out.assign(text, text + n);
        return out;
    }
    // GBK needs at most two bytes per UTF-16 unit (a replaced character one).
    const std::unique_ptr<XMLTranscoder> transcoder = makeGbkTranscoder();
    XMLSize_t done = 0;
    if (transcoder != nullptr) {
        std::vector<XMLByte> buffer(2 * n + 8);
        XMLSize_t made = 0;
        try {
            made = transcoder->transcodeTo(text, n, buffer.data(), buffer.size(), done,
                                           XMLTranscoder::UnRep_RepChar);
        } catch (...) {
            made = 0;
            done = 0;
        }
        out.assign(reinterpret_cast<const char*>(buffer.data()), made);
    }
    for (; done < n; ++done) out.push_back(text[done] < 0x80 ? char(text[done]) : '?');
    return out;
}

std::string getAttr(const xercesc::DOMElement* element, const std::string& name) {
    if (element == nullptr) return std::string();
    return fromXMLCh(element->getAttribute(CToXMLCh(name).get()));
}

bool hasAttr(const xercesc::DOMElement* element, const std::string& name) {
    return element != nullptr && element->hasAttribute(CToXMLCh(name).get());
}

bool setAttr(xercesc::DOMElement* element, const std::string& name, const std::string& value) {
    if (element == nullptr) return false;
    try {
        element->setAttribute(CToXMLCh(name).get(), CToXMLCh(value).get());
        return true;
    } catch (const xercesc::DOMException&) {
        return false;
    }
}

}  // namespace XML
}  // namespace vODodi
