// PNPropertyListRequestSerializer: a request serialiser that sends parameters as a property-list
// body ("application/x-plist") for methods outside the URI set.
#pragma once

#include "foundation/http/PNHTTPRequestSerializer.h"

class PNPropertyListRequestSerializer : public PNHTTPRequestSerializer {
    DV_CLASS(PNPropertyListRequestSerializer, PNHTTPRequestSerializer)

    PNPropertyListRequestSerializer() = default;
    Ref<PNPropertyListRequestSerializer> init();
    // XML format (100), write options 0.
    static Ref<PNPropertyListRequestSerializer> serializer();
    static Ref<PNPropertyListRequestSerializer> serializerWithFormat(NSUInteger format, NSUInteger writeOptions);

    Ref<NSURLRequest> requestBySerializingRequest(const Ref<NSURLRequest>& request, const id& parameters, Ref<NSError>* error) override;

    NSUInteger format() const { return m_format; }
    void setFormat(NSUInteger format) { m_format = format; }
    NSUInteger writeOptions() const { return m_writeOptions; }
    void setWriteOptions(NSUInteger options) { m_writeOptions = options; }

    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    id copyWithZone(NSZone* zone) const override;

protected:
    void applyDefaults() override;

private:
    NSUInteger m_format = 0;
    NSUInteger m_writeOptions = 0;
};
