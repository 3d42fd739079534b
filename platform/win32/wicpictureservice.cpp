#include "platform/win32/wicpictureservice.h"

#include <windows.h>

#include <objidl.h>
#include <oleauto.h>
#include <wincodec.h>

#include <limits>

namespace platform::win32 {

namespace {

// Owns one COM reference.
template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (m_object != nullptr) m_object->Release();
  }
  T* operator->() const { return m_object; }
  T* get() const { return m_object; }
  T** put() { return &m_object; }
  void** putVoid() { return reinterpret_cast<void**>(&m_object); }

 private:
  T* m_object = nullptr;
};

// A JPEG of the 24-bit BGR pixels.
std::optional<std::vector<std::uint8_t>> EncodeJpeg(IWICImagingFactory* factory, UINT width,
                                                    UINT height, std::vector<BYTE>& pixels,
                                                    UINT stride, int quality) {
  Ref<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return std::nullopt;
  Ref<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.put())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache))) {
    return std::nullopt;
  }
  Ref<IWICBitmapFrameEncode> frame;
  Ref<IPropertyBag2> options;
  if (FAILED(encoder->CreateNewFrame(frame.put(), options.put()))) return std::nullopt;
  if (options.get() != nullptr) {
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(quality) / 100.0f;
    options->Write(1, &option, &value);
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->Initialize(options.get())) || FAILED(frame->SetSize(width, height)) ||
      FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR ||
      FAILED(frame->WritePixels(height, stride, static_cast<UINT>(pixels.size()), pixels.data())) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
    return std::nullopt;
  }
  HGLOBAL memory = nullptr;
  if (FAILED(GetHGlobalFromStream(stream.get(), &memory))) return std::nullopt;
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return std::nullopt;
  const SIZE_T size = static_cast<SIZE_T>(stat.cbSize.QuadPart);
  if (size == 0 || size > GlobalSize(memory)) return std::nullopt;
  const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
  if (bytes == nullptr) return std::nullopt;
  std::vector<std::uint8_t> jpeg(bytes, bytes + size);
  GlobalUnlock(memory);
  return jpeg;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> WicPictureService::ScaledJpeg(
    std::span<const std::uint8_t> picture,
    const std::function<webview::PictureSize(webview::PictureSize)>& fit, int quality) {
  if (picture.empty() || picture.size() > std::numeric_limits<DWORD>::max()) return std::nullopt;
  Ref<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, factory.putVoid()))) {
    return std::nullopt;
  }
  Ref<IWICStream> input;
  if (FAILED(factory->CreateStream(input.put())) ||
      FAILED(input->InitializeFromMemory(const_cast<BYTE*>(picture.data()),
                                         static_cast<DWORD>(picture.size())))) {
    return std::nullopt;
  }
  // The decoder comes from the bytes: a stored name may not match its content.
  Ref<IWICBitmapDecoder> decoder;
  Ref<IWICBitmapFrameDecode> frame;
  if (FAILED(factory->CreateDecoderFromStream(input.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put()))) {
    return std::nullopt;
  }
  UINT width = 0;
  UINT height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0 ||
      width > static_cast<UINT>(std::numeric_limits<int>::max()) ||
      height > static_cast<UINT>(std::numeric_limits<int>::max())) {
    return std::nullopt;
  }
  const webview::PictureSize target = fit({static_cast<int>(width), static_cast<int>(height)});
  if (target.width <= 0 || target.height <= 0) return std::nullopt;

  // Premultiplied alpha, so that laying the picture on white is one addition per channel.
  Ref<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    return std::nullopt;
  }
  Ref<IWICBitmapScaler> scaler;
  IWICBitmapSource* source = converter.get();
  const UINT targetWidth = static_cast<UINT>(target.width);
  const UINT targetHeight = static_cast<UINT>(target.height);
  if (targetWidth != width || targetHeight != height) {
    if (FAILED(factory->CreateBitmapScaler(scaler.put())) ||
        FAILED(scaler->Initialize(converter.get(), targetWidth, targetHeight,
                                  WICBitmapInterpolationModeFant))) {
      return std::nullopt;
    }
    source = scaler.get();
  }
  const UINT stride = targetWidth * 4;
  std::vector<BYTE> bgra(static_cast<std::size_t>(stride) * targetHeight);
  if (FAILED(source->CopyPixels(nullptr, stride, static_cast<UINT>(bgra.size()), bgra.data()))) {
    return std::nullopt;
  }
  // JPEG has no transparency: see-through parts (a GIF's transparent colour) show white.
  const UINT outStride = (targetWidth * 3 + 3) & ~3u;
  std::vector<BYTE> bgr(static_cast<std::size_t>(outStride) * targetHeight);
  for (UINT y = 0; y < targetHeight; ++y) {
    const BYTE* from = bgra.data() + static_cast<std::size_t>(y) * stride;
    BYTE* to = bgr.data() + static_cast<std::size_t>(y) * outStride;
    for (UINT x = 0; x < targetWidth; ++x, from += 4, to += 3) {
      const unsigned clear = 255u - from[3];
      for (int c = 0; c < 3; ++c) {
        const unsigned value = from[c] + clear;
        to[c] = static_cast<BYTE>(value > 255 ? 255 : value);
      }
    }
  }
  return EncodeJpeg(factory.get(), targetWidth, targetHeight, bgr, outStride, quality);
}

}  // namespace platform::win32
