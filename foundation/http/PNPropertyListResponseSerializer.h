// PNPropertyListResponseSerializer: validates a reply ("application/x-plist") and reads its body as
// a property list in any of the platform's forms. `format` is kept and archived but not used in
// reading: the reader recognises the form by itself.
#pragma once

#include "foundation/http/PNHTTPResponseSerializer.h"

class PNPropertyListResponseSerializer : public PNHTTPResponseSerializer {
    DV_CLASS(PNPropertyListResponseSerializer, PNHTTPResponseSerializer)

    PNPropertyListResponseSerializer() = default;
    Ref<PNPropertyListResponseSerializer> init();
    // Format 100 (XML), read options 0.
    static Ref<PNPropertyListResponseSerializer> serializer();
    static Ref<PNPropertyListResponseSerializer> serializerWithFormat(NSUInteger format, NSUInteger readOptions);

    id responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error) override;

    NSUInteger format() const { return m_format; }
    void setFormat(NSUInteger format) { m_format = format; }
    NSUInteger readOptions() const { return m_readOptions; }
    void setReadOptions(NSUInteger options) { m_readOptions = options; }

    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    id copyWithZone(NSZone* zone) const override;

protected:
    void applyDefaults() override;

private:
    NSUInteger m_format = 0;
    NSUInteger m_readOptions = 0;
};
