// Placeholder until the subsystem's first unit lands; delete it then.
namespace vel { int moving_anchor() { return 0; } }
