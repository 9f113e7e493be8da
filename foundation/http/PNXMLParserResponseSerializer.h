// PNXMLParserResponseSerializer: validates a reply ("application/xml", "text/xml") and answers an
// XML parser over its body, not yet run; the caller sets a delegate and parses.
#pragma once

#include "foundation/http/PNHTTPResponseSerializer.h"

class PNXMLParserResponseSerializer : public PNHTTPResponseSerializer {
    DV_CLASS(PNXMLParserResponseSerializer, PNHTTPResponseSerializer)

    PNXMLParserResponseSerializer() = default;
    Ref<PNXMLParserResponseSerializer> init();
    static Ref<PNXMLParserResponseSerializer> serializer();

    id responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error) override;

protected:
    void applyDefaults() override;
};
