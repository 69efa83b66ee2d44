// The device over the recording backend: no window; calls are logged with their
// arguments, results can be scripted and faults injected, and every answer is the one
// Direct3D 9 would give.
#include <gtest/gtest.h>

#include <cstring>

#include "d3d9/D3D9Steuerung.h"
#include "d3d9/d3d9.h"
#include "ShaderBlobHilfe.h"

using namespace Plattform::D3D9;

namespace {

D3DPRESENT_PARAMETERS Fenstermodus(DWORD flags = 0) {
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  pp.Flags = flags;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  return pp;
}

std::vector<std::uint8_t> Blob(Plattform::ShaderStufe stufe, std::uint32_t blockBytes = 16,
                               std::vector<Plattform::RegisterSpanne> spannen = {{0, 4, 0, 4}}) {
  auto b = TestBlob(stufe, "#version 450\nvoid main() {}\n", std::move(spannen), blockBytes);
  if (stufe == Plattform::ShaderStufe::Vertex) b.eingaenge = {{D3DDECLUSAGE_POSITION, 0, 0}};
  return Plattform::SerialisiereShaderBlob(b);
}

class AufzeichnungTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s = std::make_shared<Steuerung>();
    d3d = ErzeugeDirect3D9(Backend::Aufzeichnung, s);
    ASSERT_NE(d3d, nullptr);
    pp = Fenstermodus(D3DPRESENTFLAG_LOCKABLE_BACKBUFFER);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x52, &pp, &g), D3D_OK);
  }
  void TearDown() override {
    if (g) {
      EXPECT_EQ(g->Release(), 0u);
    }
    d3d->Release();
    EXPECT_EQ(s->LebendeObjekte(), 0u);
  }

  // A device state in which a triangle list of `vertices` float4 positions can be drawn.
  IDirect3DVertexBuffer9* Zeichenbereit(UINT vertices) {
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(g->CreateVertexBuffer(vertices * 16, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
    const D3DVERTEXELEMENT9 el[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* dekl = nullptr;
    EXPECT_EQ(g->CreateVertexDeclaration(el, &dekl), D3D_OK);
    const auto psCode = Blob(Plattform::ShaderStufe::Pixel);
    IDirect3DVertexShader9* vs = nullptr;
    IDirect3DPixelShader9* ps = nullptr;
    EXPECT_EQ(Vs(Blob(Plattform::ShaderStufe::Vertex), &vs), D3D_OK);
    EXPECT_EQ(g->CreatePixelShader(reinterpret_cast<const DWORD*>(psCode.data()), &ps), D3D_OK);
    g->SetVertexDeclaration(dekl);
    g->SetVertexShader(vs);
    g->SetPixelShader(ps);
    g->SetStreamSource(0, vb, 0, 16);
    // The device keeps them alive while they are bound.
    dekl->Release();
    vs->Release();
    ps->Release();
    return vb;
  }

  HRESULT Vs(const std::vector<std::uint8_t>& code, IDirect3DVertexShader9** vs) {
    return g->CreateVertexShader(reinterpret_cast<const DWORD*>(code.data()), vs);
  }

  std::shared_ptr<Steuerung> s;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* g = nullptr;
  D3DPRESENT_PARAMETERS pp{};
};

TEST_F(AufzeichnungTest, CallsAreLoggedWithTheirArguments) {
  EXPECT_EQ(pp.BackBufferWidth, 1280u);  // windowed with size 0: the window's client size
  EXPECT_EQ(pp.BackBufferHeight, 720u);
  ASSERT_EQ(s->Anzahl("CreateDevice"), 1u);
  EXPECT_EQ(s->Aufrufe()[0].Text(),
            "Direct3D.CreateDevice(0, D3DDEVTYPE_HAL, null, 0x52, {0x0 D3DFMT_X8R8G8B8, windowed 1, "
            "depth D3DFMT_D16, flags 0x1, interval 0x1, refresh 0}) = D3D_OK -> Geraet");
  s->LeereProtokoll();

  // Calls on an object carry its name.
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(g->CreateTexture(64, 32, 0, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr),
            D3D_OK);
  D3DLOCKED_RECT lr;
  t->LockRect(1, &lr, nullptr, D3DLOCK_DISCARD);
  t->UnlockRect(1);
  t->Release();
  const std::vector<std::string> erwartet = {
      "CreateTexture(64, 32, 0, 0x200, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT) = D3D_OK -> Textur#1",
      "Textur#1.LockRect(1, null, 0x2000) = D3D_OK",
      "Textur#1.UnlockRect(1) = D3D_OK",
  };
  EXPECT_EQ(s->Zeilen(), erwartet);
}

TEST_F(AufzeichnungTest, ScriptedResultsReplaceTheCall) {
  s->SkriptiereErgebnis("SetRenderState", E_FAIL, 2);
  EXPECT_EQ(g->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS), D3D_OK);
  EXPECT_EQ(g->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS), E_FAIL);
  EXPECT_EQ(g->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER), D3D_OK);
  DWORD v = 0;
  g->GetRenderState(D3DRS_ZFUNC, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DCMP_GREATER));

  // A scripted failure has no effect: the state stays as it was.
  s->SkriptiereErgebnis("SetRenderState", D3DERR_INVALIDCALL);
  g->SetRenderState(D3DRS_ZFUNC, D3DCMP_NEVER);
  g->GetRenderState(D3DRS_ZFUNC, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DCMP_GREATER));
}

TEST_F(AufzeichnungTest, LostDeviceAndResetAnswerAsDirect3DDoes) {
  auto* vb = Zeichenbereit(3);
  s->VerliereGeraet(2);
  EXPECT_EQ(g->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  // Drawing still "works" while the device is lost.
  EXPECT_EQ(g->BeginScene(), D3D_OK);
  EXPECT_EQ(g->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(g->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  EXPECT_EQ(g->EndScene(), D3D_OK);
  EXPECT_EQ(g->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(g->Reset(&pp), D3DERR_DEVICELOST);
  EXPECT_EQ(g->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  // Reset refuses while a default-pool resource (the vertex buffer) or a reference to the
  // back buffer or the depth surface is held; the device stays waiting for a reset.
  EXPECT_EQ(g->Reset(&pp), D3DERR_INVALIDCALL);
  vb->Release();
  IDirect3DSurface9 *rueck = nullptr, *tiefe = nullptr;
  ASSERT_EQ(g->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &rueck), D3D_OK);
  ASSERT_EQ(g->GetDepthStencilSurface(&tiefe), D3D_OK);
  for (IDirect3DSurface9* o : {rueck, tiefe}) {
    EXPECT_EQ(g->Reset(&pp), D3DERR_INVALIDCALL);
    o->Release();
  }
  EXPECT_EQ(g->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  D3DPRESENT_PARAMETERS neu = pp;
  neu.BackBufferWidth = 320;
  neu.BackBufferHeight = 200;
  EXPECT_EQ(g->Reset(&neu), D3D_OK);
  EXPECT_EQ(g->TestCooperativeLevel(), D3D_OK);

  // Reset makes the back buffer anew, unbinds everything and restores the default states.
  ASSERT_EQ(g->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &rueck), D3D_OK);
  D3DSURFACE_DESC d;
  rueck->GetDesc(&d);
  rueck->Release();
  EXPECT_EQ(d.Width, 320u);
  EXPECT_EQ(d.Height, 200u);
  D3DVIEWPORT9 vp;
  g->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 320u);
  IDirect3DVertexShader9* vs = reinterpret_cast<IDirect3DVertexShader9*>(1);
  g->GetVertexShader(&vs);
  EXPECT_EQ(vs, nullptr);
  DWORD v = 0;
  g->GetRenderState(D3DRS_CULLMODE, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DCULL_CCW));
}

TEST_F(AufzeichnungTest, OutOfVideoMemoryByBudget) {
  const std::uint64_t textur = 64 * 64 * 4;
  s->SetzeVideospeicherBudget(2 * textur + 100);
  IDirect3DTexture9 *a = nullptr, *b = nullptr, *c = nullptr;
  EXPECT_EQ(g->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &a, nullptr), D3D_OK);
  EXPECT_EQ(g->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &b, nullptr), D3D_OK);
  EXPECT_EQ(s->BelegterVideospeicher(), 2 * textur);
  EXPECT_EQ(g->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &c, nullptr),
            D3DERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(c, nullptr);
  // A full mip chain counts every level: 64x64 down to 1x1 is 21844 bytes.
  a->Release();
  s->SetzeVideospeicherBudget(std::nullopt);
  EXPECT_EQ(g->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &c, nullptr), D3D_OK);
  EXPECT_EQ(s->BelegterVideospeicher(), textur + 21844);
  // Memory held by a released but still bound texture stays taken until it is unbound.
  g->SetTexture(0, b);
  b->Release();
  EXPECT_EQ(s->BelegterVideospeicher(), textur + 21844);
  g->SetTexture(0, nullptr);
  EXPECT_EQ(s->BelegterVideospeicher(), 21844u);
  c->Release();
  // System-memory surfaces do not count.
  s->SetzeVideospeicherBudget(0);
  IDirect3DSurface9* o = nullptr;
  EXPECT_EQ(g->CreateOffscreenPlainSurface(64, 64, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &o, nullptr), D3D_OK);
  o->Release();
}

TEST_F(AufzeichnungTest, TheNthCreateFails) {
  s->ScheitereBeiErzeugung(2);
  s->ScheitereBeiErzeugung(4, E_OUTOFMEMORY);
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  IDirect3DSurface9* tiefe = nullptr;
  IDirect3DSurface9* o = nullptr;
  EXPECT_EQ(g->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
  EXPECT_EQ(g->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr), D3DERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(ib, nullptr);
  EXPECT_EQ(g->CreateDepthStencilSurface(64, 64, D3DFMT_D24X8, D3DMULTISAMPLE_NONE, 0, TRUE, &tiefe, nullptr),
            D3D_OK);
  EXPECT_EQ(g->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &o, nullptr), E_OUTOFMEMORY);
  EXPECT_EQ(g->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr), D3D_OK);
  // Invalid calls are refused before the count: they are no creates.
  s->ScheitereBeiErzeugung(1);
  IDirect3DTexture9* t = nullptr;
  EXPECT_EQ(g->CreateTexture(0, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(g->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr), D3DERR_OUTOFVIDEOMEMORY);
  vb->Release();
  ib->Release();
  tiefe->Release();
}

TEST_F(AufzeichnungTest, BoundObjectsLiveUntilUnbound) {
  const std::size_t vorher = s->LebendeObjekte();
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(g->CreateTexture(16, 16, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr), D3D_OK);
  // The texture holds a reference on the device; the device's count shows it.
  EXPECT_EQ(g->AddRef(), 3u);
  EXPECT_EQ(g->Release(), 2u);
  g->SetTexture(2, t);
  // Binding does not show in the caller's count; the caller's last Release returns 0
  // but the device keeps the texture while it is bound.
  EXPECT_EQ(t->Release(), 0u);
  EXPECT_GT(s->LebendeObjekte(), vorher);
  EXPECT_EQ(g->AddRef(), 2u);
  EXPECT_EQ(g->Release(), 1u);
  IDirect3DBaseTexture9* zurueck = nullptr;
  ASSERT_EQ(g->GetTexture(2, &zurueck), D3D_OK);
  EXPECT_EQ(zurueck, static_cast<IDirect3DBaseTexture9*>(t));
  EXPECT_EQ(zurueck->Release(), 0u);
  g->SetTexture(2, nullptr);
  EXPECT_EQ(s->LebendeObjekte(), vorher);

  // A level surface keeps its texture alive and shares its count.
  ASSERT_EQ(g->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr),
            D3D_OK);
  IDirect3DSurface9* ebene = nullptr;
  ASSERT_EQ(t->GetSurfaceLevel(0, &ebene), D3D_OK);
  EXPECT_EQ(t->Release(), 1u);
  ASSERT_EQ(g->SetRenderTarget(0, ebene), D3D_OK);
  EXPECT_EQ(ebene->Release(), 0u);
  EXPECT_GT(s->LebendeObjekte(), vorher);
  IDirect3DSurface9* rueck = nullptr;
  g->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &rueck);
  g->SetRenderTarget(0, rueck);
  rueck->Release();
  EXPECT_EQ(s->LebendeObjekte(), vorher);

  // Releasing the device with a texture still bound frees it (checked in TearDown).
  ASSERT_EQ(g->CreateTexture(16, 16, 1, 0, D3DFMT_A8, D3DPOOL_DEFAULT, &t, nullptr), D3D_OK);
  g->SetTexture(D3DVERTEXTEXTURESAMPLER0, t);
  t->Release();
}

TEST_F(AufzeichnungTest, LockRulesAndContents) {
  IDirect3DTexture9 *statisch = nullptr, *dynamisch = nullptr;
  ASSERT_EQ(g->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &statisch, nullptr), D3D_OK);
  ASSERT_EQ(g->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &dynamisch, nullptr),
            D3D_OK);
  D3DLOCKED_RECT lr{};
  EXPECT_EQ(statisch->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(dynamisch->LockRect(0, &lr, nullptr, D3DLOCK_DISCARD), D3D_OK);
  EXPECT_EQ(lr.Pitch, 32);
  for (int i = 0; i < 64; ++i) static_cast<DWORD*>(lr.pBits)[i] = 0xFF000000u | static_cast<DWORD>(i);
  EXPECT_EQ(dynamisch->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
  EXPECT_EQ(dynamisch->UnlockRect(0), D3D_OK);
  EXPECT_EQ(dynamisch->UnlockRect(0), D3DERR_INVALIDCALL);
  const RECT teil{2, 3, 5, 7};
  ASSERT_EQ(dynamisch->LockRect(0, &lr, &teil, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(static_cast<DWORD*>(lr.pBits)[0], 0xFF000000u | (3 * 8 + 2));
  EXPECT_EQ(*reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + 3 * lr.Pitch + 8), 0xFF000000u | (6 * 8 + 4));
  dynamisch->UnlockRect(0);
  const RECT aussen{4, 4, 9, 8};
  EXPECT_EQ(dynamisch->LockRect(0, &lr, &aussen, 0), D3DERR_INVALIDCALL);

  // UpdateSurface: from system memory into a default-pool level of the same format.
  IDirect3DSurface9 *quelle = nullptr, *ziel = nullptr;
  ASSERT_EQ(g->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &quelle, nullptr), D3D_OK);
  dynamisch->GetSurfaceLevel(0, &ziel);
  const RECT q{1, 1, 3, 3};
  const POINT p{6, 0};
  EXPECT_EQ(g->UpdateSurface(quelle, &q, ziel, &p), D3D_OK);
  const POINT zuWeit{7, 0};
  EXPECT_EQ(g->UpdateSurface(quelle, &q, ziel, &zuWeit), D3DERR_INVALIDCALL);
  EXPECT_EQ(g->UpdateSurface(ziel, nullptr, quelle, nullptr), D3DERR_INVALIDCALL);

  // DXT rectangles must be aligned to blocks; the pitch counts rows of blocks.
  IDirect3DTexture9* dxt = nullptr;
  ASSERT_EQ(g->CreateTexture(16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_DXT1, D3DPOOL_DEFAULT, &dxt, nullptr), D3D_OK);
  const RECT schief{2, 0, 6, 4}, gerade{4, 4, 12, 8};
  EXPECT_EQ(dxt->LockRect(0, &lr, &schief, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(dxt->LockRect(0, &lr, &gerade, 0), D3D_OK);
  EXPECT_EQ(lr.Pitch, 16);
  dxt->UnlockRect(0);

  // The back buffer can be locked only when the device was created to allow it.
  IDirect3DSurface9* rueck = nullptr;
  g->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &rueck);
  EXPECT_EQ(rueck->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(lr.Pitch, 1280 * 4);
  rueck->UnlockRect();
  IDirect3DSurface9* tiefe = nullptr;
  g->GetDepthStencilSurface(&tiefe);
  EXPECT_EQ(tiefe->LockRect(&lr, nullptr, 0), D3DERR_INVALIDCALL);

  // Buffers: the whole buffer with 0, 0; beyond the end is refused.
  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(g->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb, nullptr),
            D3D_OK);
  void* daten = nullptr;
  EXPECT_EQ(vb->Lock(60, 8, &daten, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(vb->Lock(0, 0, &daten, D3DLOCK_DISCARD), D3D_OK);
  std::memset(daten, 7, 64);
  vb->Unlock();
  ASSERT_EQ(vb->Lock(32, 0, &daten, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(static_cast<BYTE*>(daten)[31], 7);
  vb->Unlock();

  for (IUnknown* o : std::initializer_list<IUnknown*>{statisch, dynamisch, quelle, ziel, dxt, rueck, tiefe, vb})
    o->Release();
}

TEST_F(AufzeichnungTest, SceneAndDrawRules) {
  auto* vb = Zeichenbereit(3);
  EXPECT_EQ(g->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // outside a scene
  EXPECT_EQ(g->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(g->BeginScene(), D3D_OK);
  EXPECT_EQ(g->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(g->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  EXPECT_EQ(g->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3DERR_INVALIDCALL);  // past the buffer
  EXPECT_EQ(g->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);  // no indices
  EXPECT_EQ(g->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);  // inside the scene
  g->SetPixelShader(nullptr);
  EXPECT_EQ(g->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // no fixed function
  EXPECT_EQ(g->EndScene(), D3D_OK);
  EXPECT_EQ(g->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  // Instancing: stream 0 never holds instance data; the flags exclude each other.
  EXPECT_EQ(g->SetStreamSourceFreq(0, D3DSTREAMSOURCE_INSTANCEDATA | 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(g->SetStreamSourceFreq(1, D3DSTREAMSOURCE_INSTANCEDATA | D3DSTREAMSOURCE_INDEXEDDATA | 1),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(g->SetStreamSourceFreq(0, D3DSTREAMSOURCE_INDEXEDDATA | 5), D3D_OK);

  // Clearing depth needs a depth surface; a cleared viewport must lie inside the target.
  g->SetDepthStencilSurface(nullptr);
  EXPECT_EQ(g->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(g->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
  vb->Release();
}

TEST_F(AufzeichnungTest, TargetsViewportsAndConstants) {
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(g->CreateTexture(256, 128, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr),
            D3D_OK);
  IDirect3DSurface9* ebene = nullptr;
  t->GetSurfaceLevel(0, &ebene);
  ASSERT_EQ(g->SetRenderTarget(0, ebene), D3D_OK);
  const D3DVIEWPORT9 zuGross{0, 100, 256, 29, 0.0f, 1.0f};
  EXPECT_EQ(g->SetViewport(&zuGross), D3DERR_INVALIDCALL);
  EXPECT_EQ(g->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
  IDirect3DSurface9* tiefe = nullptr;
  g->GetDepthStencilSurface(&tiefe);
  EXPECT_EQ(g->SetRenderTarget(1, tiefe), D3DERR_INVALIDCALL);  // not a colour target
  EXPECT_EQ(g->SetRenderTarget(4, ebene), D3DERR_INVALIDCALL);
  tiefe->Release();
  ebene->Release();
  t->Release();

  // Register files: 256 vertex and 224 pixel registers.
  float m[16];
  for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(i);
  EXPECT_EQ(g->SetVertexShaderConstantF(252, m, 4), D3D_OK);
  EXPECT_EQ(g->SetVertexShaderConstantF(253, m, 4), D3DERR_INVALIDCALL);
  EXPECT_EQ(g->SetPixelShaderConstantF(220, m, 4), D3D_OK);
  EXPECT_EQ(g->SetPixelShaderConstantF(221, m, 4), D3DERR_INVALIDCALL);
  float zurueck[4];
  g->GetVertexShaderConstantF(254, zurueck, 1);
  EXPECT_EQ(zurueck[1], 9.0f);

  // Shader code: a blob of the right stage whose spans stay inside the registers and block.
  IDirect3DVertexShader9* vs = nullptr;
  EXPECT_EQ(Vs(Blob(Plattform::ShaderStufe::Pixel), &vs), D3DERR_INVALIDCALL);
  EXPECT_EQ(Vs(Blob(Plattform::ShaderStufe::Vertex, 16, {{0, 4, 4, 4}}), &vs), D3DERR_INVALIDCALL);
  EXPECT_EQ(Vs(Blob(Plattform::ShaderStufe::Vertex, 16, {{256, 4, 0, 4}}), &vs), D3DERR_INVALIDCALL);
  const auto gut = Blob(Plattform::ShaderStufe::Vertex, 64, {{10, 4, 0, 16}, {11, 4, 4, 16}});
  ASSERT_EQ(Vs(gut, &vs), D3D_OK);
  UINT groesse = 0;
  vs->GetFunction(nullptr, &groesse);
  EXPECT_EQ(groesse, gut.size());
  vs->Release();
}

TEST_F(AufzeichnungTest, FormatsAndAdapters) {
  auto pruefe = [&](DWORD usage, D3DRESOURCETYPE typ, D3DFORMAT f) {
    return d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, typ, f);
  };
  EXPECT_EQ(pruefe(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D32), D3D_OK);
  EXPECT_EQ(pruefe(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_A8R8G8B8), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(pruefe(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_DXT1), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(pruefe(D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE, D3DFMT_DXT5), D3DOK_NOAUTOGEN);
  EXPECT_EQ(pruefe(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16F), D3D_OK);
  // Formats the test takes away.
  s->fehlendeFormate = {D3DFMT_D32};
  EXPECT_EQ(pruefe(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D32), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(pruefe(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24X8), D3D_OK);

  // Autogenerated mipmaps: the caller sees one level.
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(g->CreateTexture(64, 64, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr),
            D3D_OK);
  EXPECT_EQ(t->GetLevelCount(), 1u);
  IDirect3DSurface9* o = nullptr;
  EXPECT_EQ(t->GetSurfaceLevel(1, &o), D3DERR_INVALIDCALL);
  t->Release();
  EXPECT_EQ(g->CreateTexture(64, 64, 8, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(g->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_DXT1, D3DPOOL_DEFAULT, &t, nullptr),
            D3DERR_INVALIDCALL);

  D3DADAPTER_IDENTIFIER9 id{};
  EXPECT_EQ(d3d->GetAdapterIdentifier(2, 0, &id), D3DERR_INVALIDCALL);
}

TEST(AufzeichnungInstallation, Direct3DCreate9GivesTheInstalledBackend) {
  EXPECT_EQ(Direct3DCreate9(31), nullptr);
  auto s = std::make_shared<Steuerung>();
  InstalliereSteuerung(s, Backend::Aufzeichnung);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  D3DPRESENT_PARAMETERS pp = Fenstermodus();
  IDirect3DDevice9* g = nullptr;
  // Exactly one kind of vertex processing.
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_PUREDEVICE, &pp, &g), D3DERR_INVALIDCALL);
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &g), D3D_OK);
  EXPECT_EQ(SteuerungVon(g), s.get());
  EXPECT_EQ(s->Anzahl("CreateDevice"), 2u);
  IDirect3D9* zurueck = nullptr;
  g->GetDirect3D(&zurueck);
  EXPECT_EQ(zurueck, d3d);
  zurueck->Release();
  // The device holds the Direct3D object: either may be released first.
  d3d->Release();
  EXPECT_EQ(g->Release(), 0u);
  EntferneSteuerung();
  EXPECT_EQ(s->LebendeObjekte(), 0u);
}

}  // namespace
