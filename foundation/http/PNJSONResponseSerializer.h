// PNJSONResponseSerializer: validates a reply ("application/json", "text/json", "text/javascript";
// status 200–299 by default) and parses its body as JSON, in the reply's character set when it
// names one the platform knows. Optionally strips keys whose value is null.
#pragma once

#include "foundation/http/PNHTTPResponseSerializer.h"

class PNJSONResponseSerializer : public PNHTTPResponseSerializer {
    DV_CLASS(PNJSONResponseSerializer, PNHTTPResponseSerializer)

    PNJSONResponseSerializer() = default;
    Ref<PNJSONResponseSerializer> init();
    static Ref<PNJSONResponseSerializer> serializer();
    static Ref<PNJSONResponseSerializer> serializerWithReadingOptions(NSUInteger readingOptions);

    id responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error) override;

    NSUInteger readingOptions() const { return m_readingOptions; }
    void setReadingOptions(NSUInteger options) { m_readingOptions = options; }
    bool removesKeysWithNullValues() const { return m_removesKeysWithNullValues; }
    void setRemovesKeysWithNullValues(bool removes) { m_removesKeysWithNullValues = removes; }

    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    // A new instance with the two settings; status codes and content types are init's defaults.
    id copyWithZone(NSZone* zone) const override;

protected:
    void applyDefaults() override;

private:
    NSUInteger m_readingOptions = 0;
    bool m_removesKeysWithNullValues = false;
};

// The JSON object without dictionary entries whose value is null, at every depth (null elements
// of arrays stay). Containers come back mutable when the options carry the mutable-containers bit.
id PNJSONObjectRemovingNulls(const id& JSONObject, NSUInteger readingOptions);
