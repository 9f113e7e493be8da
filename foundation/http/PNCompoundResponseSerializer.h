// PNCompoundResponseSerializer: asks a list of serialisers in turn and answers the first object
// one of them makes; when none does, it validates with its own settings and answers the data.
#pragma once

#include "foundation/http/PNHTTPResponseSerializer.h"

class PNCompoundResponseSerializer : public PNHTTPResponseSerializer {
    DV_CLASS(PNCompoundResponseSerializer, PNHTTPResponseSerializer)

    PNCompoundResponseSerializer() = default;
    Ref<PNCompoundResponseSerializer> init();
    static Ref<PNCompoundResponseSerializer> compoundSerializerWithResponseSerializers(const Ref<NSArray>& responseSerializers);

    id responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error) override;

    Ref<NSArray> responseSerializers() const { return m_responseSerializers; }
    void setResponseSerializers(const Ref<NSArray>& serializers);

    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    id copyWithZone(NSZone* zone) const override;

protected:
    void applyDefaults() override;

private:
    Ref<NSArray> m_responseSerializers;
};
