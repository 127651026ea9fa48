// The virtual mouse library; its firmware model lives in this folder.
namespace tolvane::sim {}
