#include "hooks/vk_png.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstdint>
#include <vector>

namespace {

// Pairs a successful CoInitializeEx with its CoUninitialize. A thread that
// already runs COM in the other apartment model can still use WIC, and must
// not be uninitialised by us.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }
    bool Usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT hr_;
};

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr()
    {
        if (p_)
            p_->Release();
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** out() { return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// The whole image as a DIB larger than this is refused: the captions are
// small, and a damaged header must not make us allocate gigabytes.
const UINT kMaxSide = 16384;
const uint64_t kMaxPixels = 64ull * 1024 * 1024;

// Decodes the PNG bytes into 32-bit BGRA rows (straight alpha), top row first.
bool DecodeToBgra(const BYTE* data, DWORD size, UINT* width, UINT* height,
                  std::vector<BYTE>* pixels)
{
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.outVoid())))
        return false;
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), size)))
        return false;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.out())) ||
        FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)))
        return false;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.out())))
        return false;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return false;
    UINT w = 0, h = 0;
    if (FAILED(converter->GetSize(&w, &h)) || w == 0 || h == 0 || w > kMaxSide ||
        h > kMaxSide || uint64_t(w) * h > kMaxPixels)
        return false;
    pixels->resize(size_t(w) * h * 4);
    if (FAILED(converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels->size()),
                                     pixels->data())))
        return false;
    *width = w;
    *height = h;
    return true;
}

// Lays each pixel on white, so that transparent parts vanish when the image
// is ANDed onto a background, and writes 24-bit rows padded to 4 bytes.
void ToDib24(const std::vector<BYTE>& bgra, UINT width, UINT height, BYTE* bits)
{
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    for (UINT y = 0; y < height; ++y) {
        const BYTE* src = bgra.data() + size_t(y) * width * 4;
        BYTE* dst = bits + size_t(y) * stride;
        for (UINT x = 0; x < width; ++x, src += 4, dst += 3) {
            unsigned a = src[3];
            for (int c = 0; c < 3; ++c)
                dst[c] = static_cast<BYTE>((src[c] * a + 255 * (255 - a) + 127) / 255);
        }
    }
}

} // namespace

HBITMAP vkLoadPNGA(HINSTANCE instance, const char* resourceName, int flags)
{
    if (flags != 0 || !resourceName)
        return nullptr;
    HRSRC info = FindResourceA(instance, resourceName, "PNG");
    if (!info)
        return nullptr;
    HGLOBAL loaded = LoadResource(instance, info);
    DWORD size = SizeofResource(instance, info);
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data || size == 0)
        return nullptr;

    UINT width = 0, height = 0;
    std::vector<BYTE> bgra;
    {
        ComScope com;
        if (!com.Usable() || !DecodeToBgra(data, size, &width, &height, &bgra))
            return nullptr;
    }

    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = static_cast<LONG>(width);
    bmi.bmiHeader.biHeight = -static_cast<LONG>(height); // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    if (!bits) {
        DeleteObject(bitmap);
        return nullptr;
    }
    ToDib24(bgra, width, height, static_cast<BYTE*>(bits));
    GdiFlush();
    return bitmap;
}
