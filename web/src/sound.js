// The game's sounds, made on the spot with the Web Audio API (no sound files): a short knock
// for a move, a sharper one for a capture, two rising tones for a check and a chord at the end.
let context = null;

// Each sound is a list of notes: [frequency in Hz, start in s, length in s, wave, loudness].
const sounds = {
  move: [[220, 0, 0.07, 'triangle', 0.5]],
  capture: [
    [330, 0, 0.05, 'square', 0.25],
    [165, 0.03, 0.08, 'triangle', 0.5],
  ],
  check: [
    [660, 0, 0.09, 'sine', 0.35],
    [880, 0.1, 0.12, 'sine', 0.35],
  ],
  end: [
    [523, 0, 0.5, 'sine', 0.3],
    [659, 0.08, 0.45, 'sine', 0.25],
    [784, 0.16, 0.4, 'sine', 0.25],
  ],
};

// Plays the named sound; nothing when the browser has no Web Audio.
export function playSound(name) {
  const AudioContextClass = globalThis.AudioContext ?? globalThis.webkitAudioContext;
  if (!AudioContextClass || !sounds[name]) return;
  context ??= new AudioContextClass();
  if (context.state === 'suspended') context.resume().catch(() => {});
  const now = context.currentTime;
  for (const [frequency, start, length, wave, loudness] of sounds[name]) {
    const oscillator = context.createOscillator();
    const gain = context.createGain();
    oscillator.type = wave;
    oscillator.frequency.value = frequency;
    gain.gain.setValueAtTime(loudness, now + start);
    gain.gain.exponentialRampToValueAtTime(0.001, now + start + length);
    oscillator.connect(gain).connect(context.destination);
    oscillator.start(now + start);
    oscillator.stop(now + start + length);
  }
}

// The sound for a move as chess.js describes it, and for the position it leaves.
export function soundForMove(move, chess) {
  if (chess.isGameOver()) return 'end';
  if (chess.inCheck()) return 'check';
  return move.captured ? 'capture' : 'move';
}
