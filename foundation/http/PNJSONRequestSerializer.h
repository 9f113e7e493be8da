// PNJSONRequestSerializer: a request serialiser that sends parameters as a JSON body
// ("application/json") for methods outside the URI set; GET, HEAD and DELETE still use the query.
#pragma once

#include "foundation/http/PNHTTPRequestSerializer.h"

class PNJSONRequestSerializer : public PNHTTPRequestSerializer {
    DV_CLASS(PNJSONRequestSerializer, PNHTTPRequestSerializer)

    PNJSONRequestSerializer() = default;
    Ref<PNJSONRequestSerializer> init();
    static Ref<PNJSONRequestSerializer> serializer();
    static Ref<PNJSONRequestSerializer> serializerWithWritingOptions(NSUInteger writingOptions);

    // The JSON writer's error goes to `error`; the request is still answered, without a body.
    Ref<NSURLRequest> requestBySerializingRequest(const Ref<NSURLRequest>& request, const id& parameters, Ref<NSError>* error) override;

    NSUInteger writingOptions() const { return m_writingOptions; }
    void setWritingOptions(NSUInteger options) { m_writingOptions = options; }

    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    id copyWithZone(NSZone* zone) const override;

protected:
    void applyDefaults() override;

private:
    NSUInteger m_writingOptions = 0;
};
