x=0.1
omega=0.3, k=0.9

d
x=(x+omega-k/(2*math.pi)*math.sin(2*math.pi*x))%1

