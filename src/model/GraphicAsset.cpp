#include "model/GraphicAsset.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(GraphicAsset, Asset, kVersionableSchema | 1)

GraphicAsset::GraphicAsset(const std::string& fileName, Time duration, int32_t resourceId)
    : Asset(fileName, 0, duration), resourceId_(resourceId) {}

RefObject* GraphicAsset::Clone() const { return new GraphicAsset(*this); }

void GraphicAsset::Serialize(Archive& ar) {
    Asset::Serialize(ar);
    if (ar.IsStoring())
        ar.WriteInt32(resourceId_);
    else
        resourceId_ = ar.ReadInt32();
}

void GraphicAsset::ListFields(FieldList& out) const {
    Asset::ListFields(out);
    out.Add("resourceId", int64_t{GetResourceId()});
}

} // namespace orvik
