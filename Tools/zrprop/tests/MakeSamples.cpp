// Writes the sample files of zrprop's end-to-end test with the library itself:
//   params.bin  a parameter list through a data stream
//   set.bin     a property set through a data stream
//   set.lay     the same property set in the file layout
#include <cstdio>

#include "Common/File/FileIO.h"
#include "Common/File/ZRDataStream.h"
#include "Common/Property/ZRParams.h"
#include "Common/Property/ZRPropertyManager.h"

namespace
{
bool Save(const char* name, const CZRDataStream& stream)
{
    CFileIO file;
    return file.Open(name, FILEMODE_WRITE) && file.Write(stream.GetBuffer(), stream.GetSize());
}
} // namespace

int main()
{
    CZRParams params;
    params.Add(CZRProperty(7));
    params.Add(CZRProperty(true));
    params[2] = 2.5f;
    params[2].SetFormat("%.1f");
    params.Add(CZRProperty("two\tlines"));
    params.Add(CZRProperty());
    params.Add(CZRProperty(4294967295ul));
    CZRDataStream paramsStream(STREAM_STORING);
    params.Serialize(paramsStream);

    CZRPropertyManager set;
    set.SetProperty("Speed", CZRProperty(3.25f));
    set["Speed"].SetFormat("%.3f");
    set.SetProperty("name", CZRProperty("Ann"));
    set.SetProperty("count", CZRProperty(255));
    set["count"].SetFormat("%x");
    CZRDataStream setStream(STREAM_STORING);
    set.Serialize(setStream);

    CFileIO layout;
    const bool saved = Save("params.bin", paramsStream) && Save("set.bin", setStream) &&
                       layout.Open("set.lay", FILEMODE_WRITE) && set.Write(&layout);
    layout.Close();
    if (!saved)
        std::fprintf(stderr, "zrprop_sample: cannot write the samples\n");
    return saved ? 0 : 1;
}
