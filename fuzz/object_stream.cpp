// Reads arbitrary bytes as an object stream: a script of primitive and object
// reads, driven by the bytes themselves, over every registered class.
#include "model/RefObject.h"
#include "model/RefPtr.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <cstdint>
#include <vector>

namespace orvik {

// A node with a text and child objects, so object graphs of any shape are
// read even before the model's own classes exist.
class FuzzNode : public RefObject {
    ORVIK_DECLARE_SERIAL(FuzzNode)
public:
    void Serialize(Archive& ar) override {
        name = ar.ReadText();
        uint32_t n = ar.ReadCount();
        ar.RequireBytes(n, 2);
        for (uint32_t i = 0; i < n; ++i)
            ar.ReadObject(RuntimeClassOf<RefObject>()); // raw: swept with the orphans
    }
    std::string name;
};
ORVIK_IMPLEMENT_SERIAL(FuzzNode, RefObject, kVersionableSchema | 1)

} // namespace orvik

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    MemFile file(data, size);
    {
        Archive ar(file, Archive::load);
        try {
            while (ar.BytesLeft() > 0) {
                switch (ar.ReadByte() % 8) {
                case 0: ar.ReadWord(); break;
                case 1: ar.ReadDword(); break;
                case 2: ar.ReadDouble(); break;
                case 3: ar.ReadText(); break;
                case 4: ar.RequireBytes(ar.ReadCount()); break;
                case 5: ar.ReadClass(RuntimeClassOf<RefObject>()); break;
                case 6: ar.GetObjectSchema(); break;
                default: ar.ReadObject(RuntimeClassOf<RefObject>()); break;
                }
            }
        } catch (const ArchiveException&) {
        }
    }
    RefObject::SweepOrphans();
    return 0;
}
